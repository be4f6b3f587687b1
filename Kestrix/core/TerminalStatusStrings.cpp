// DECRQSS: the host asks for the current setting of a control function and gets a DECRPSS report.

#include "Kestrix/core/OscText.h"
#include "Kestrix/core/Terminal.h"

#include <algorithm>

namespace kestrix {

namespace {

// Real requests are a few bytes; a longer one is unrecognised and is not kept whole.
constexpr size_t maximumRequestLength = 32;

// DECSCUSR's parameter for each style, in the order of `CursorStyle`.
constexpr char cursorStyleParameters[] = {'1', '2', '3', '4', '5', '6'};

} // namespace

class Terminal::DECRQSS : public DcsHandler {
public:
    explicit DECRQSS(Terminal &terminal)
        : terminal_(terminal)
    {
    }

    void put(std::span<const uint8_t> bytes) override
    {
        const size_t room = maximumRequestLength + 1 - std::min(data().size(), maximumRequestLength + 1);
        DcsHandler::put(bytes.first(std::min(bytes.size(), room)));
    }

    void unhook() override
    {
        const std::string_view request = osctext::asText(data());
        const std::optional<std::string> report = reportFor(request);
        if (!report) {
            if (osctext::isAscii(request)) {
                terminal_.logInfo("Unknown DCS + " + std::string(request));
            } else {
                terminal_.logInfo("Unknown DCS + " + describeBytes(data()));
            }
        }
        const std::string_view validity = report ? "1" : "0";
        terminal_.sendReply(
            {terminal_.dcs(), validity, "$r", report.value_or(std::string()), terminal_.st()});
    }

private:
    std::optional<std::string> reportFor(std::string_view request) const
    {
        const Buffer &buffer = *terminal_.buffer;
        if (request == "\"q") {
            return "\"q";
        }
        if (request == "\"p") {
            return "65;1\"p";
        }
        if (request == "r") {
            return std::to_string(buffer.scrollTop() + 1) + ";" + std::to_string(buffer.scrollBottom() + 1) +
                   "r";
        }
        if (request == "m") {
            return terminal_.curAttr.sgrParameters();
        }
        if (request == "s") {
            return std::to_string(buffer.marginLeft() + 1) + ";" + std::to_string(buffer.marginRight() + 1) +
                   "s";
        }
        if (request == " q") {
            // The real style, so an editor that saved it can put it back.
            const auto style = static_cast<size_t>(terminal_.options.cursorStyle);
            return std::string(1, cursorStyleParameters[style]) + " q";
        }
        return std::nullopt;
    }

    Terminal &terminal_;
};

std::unique_ptr<DcsHandler> Terminal::makeDecrqssHandler()
{
    return std::make_unique<DECRQSS>(*this);
}

} // namespace kestrix

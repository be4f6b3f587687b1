// DECRQSS: the host asks for the current setting of a control function and gets a DECRPSS report.

#include "Kestrix/core/OscText.h"
#include "Kestrix/core/Terminal.h"

#include <algorithm>

namespace kestrix {

namespace {

// Real requests are a few bytes; a longer one is unrecognised and is not kept whole.
constexpr size_t maximumRequestLength = 32;

// DECSCUSR's parameter for each style, in the order of `CursorStyle`.
constexpr std::string_view cursorStyleParameters[] = {"1", "2", "3", "4", "5", "6"};

std::string rangeReport(int64_t first, int64_t last, char finalByte)
{
    return std::to_string(first + 1) + ";" + std::to_string(last + 1) + finalByte;
}

// A request text and its report. DECSCA and DECSCL answer fixed texts.
struct StatusReport {
    std::string_view request;
    std::string (*report)(const Terminal &terminal);
};

constexpr StatusReport statusReports[] = {
    // DECSCA
    {"\"q", [](const Terminal &) { return std::string("\"q"); }},
    // DECSCL
    {"\"p", [](const Terminal &) { return std::string("65;1\"p"); }},
    // DECSTBM
    {"r",
     [](const Terminal &t) { return rangeReport(t.buffer->scrollTop(), t.buffer->scrollBottom(), 'r'); }},
    // SGR
    {"m", [](const Terminal &t) { return t.curAttr.sgrParameters(); }},
    // DECSLRM
    {"s",
     [](const Terminal &t) { return rangeReport(t.buffer->marginLeft(), t.buffer->marginRight(), 's'); }},
    // DECSCUSR: the real style, so an editor that saved it can put it back.
    {" q",
     [](const Terminal &t) {
         return std::string(cursorStyleParameters[static_cast<size_t>(t.options.cursorStyle)]) + " q";
     }},
};

} // namespace

class Terminal::DECRQSS : public DcsHandler {
public:
    explicit DECRQSS(Terminal &terminal)
        : terminal_(terminal)
    {
    }

    void put(std::span<const uint8_t> bytes) override
    {
        // One byte past the limit is kept, so an overlong request never matches a real one.
        if (data().size() > maximumRequestLength) {
            return;
        }
        DcsHandler::put(bytes.first(std::min(bytes.size(), maximumRequestLength + 1 - data().size())));
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
        for (const StatusReport &each : statusReports) {
            if (each.request == request) {
                return each.report(terminal_);
            }
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

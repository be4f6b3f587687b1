// Replies to the host: the reply sender, device attributes, status reports, the rectangle checksum,
// and the window operations and reports of CSI t with the title stacks.

#include "Kestrix/core/Intermediates.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kestrix {

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

int64_t saturatingMultiply(int64_t a, int64_t b)
{
    int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        return (a < 0) != (b < 0) ? INT64_MIN : INT64_MAX;
    }
    return product;
}

// Private status reports whose answer never changes: request -> reply after the CSI.
struct FixedStatusReport {
    int64_t request;
    std::string_view reply;
};

constexpr std::array<FixedStatusReport, 8> fixedPrivateStatusReports = {{
    {15, "?10n"},
    {25, "?21n"},
    {26, "?27;1;0;0n"},
    {55, "?53n"},
    {56, "?57;1n"},
    {62, "0*{"},
    {75, "?70n"},
    {85, "?83n"},
}};

// CSI t: a parameter list with exactly these values asks for this command.
struct WindowRequest {
    std::array<int64_t, 2> pars;
    size_t count;
    WindowManipulationCommand::Kind kind;
};

using Kind = WindowManipulationCommand::Kind;

constexpr std::array<WindowRequest, 12> windowRequests = {{
    {{1, 0}, 1, Kind::deiconifyWindow},
    {{2, 0}, 1, Kind::iconifyWindow},
    {{5, 0}, 1, Kind::bringToFront},
    {{6, 0}, 1, Kind::sendToBack},
    {{7, 0}, 1, Kind::refreshWindow},
    {{9, 0}, 2, Kind::restoreMaximizedWindow},
    {{9, 1}, 2, Kind::maximizeWindow},
    {{9, 2}, 2, Kind::maximizeWindowVertically},
    {{9, 3}, 2, Kind::maximizeWindowHorizontally},
    {{10, 0}, 2, Kind::undoFullScreen},
    {{10, 1}, 2, Kind::switchToFullScreen},
    {{10, 2}, 2, Kind::toggleFullScreen},
}};

constexpr std::array<WindowRequest, 6> windowReports = {{
    {{14, 0}, 1, Kind::reportTextAreaPixelDimension},
    {{14, 2}, 2, Kind::reportTerminalWindowPixelDimension},
    {{15, 0}, 1, Kind::reportSizeOfScreenInPixels},
    {{16, 0}, 1, Kind::reportCellSizeInPixels},
    {{18, 0}, 1, Kind::reportTextAreaCharacters},
    {{19, 0}, 1, Kind::reportScreenSizeCharacters},
}};

template <size_t N>
const WindowRequest *findWindowRequest(const std::array<WindowRequest, N> &table, ParameterSpan pars)
{
    for (const WindowRequest &entry : table) {
        if (entry.count == pars.size() && std::equal(pars.begin(), pars.end(), entry.pars.begin())) {
            return &entry;
        }
    }
    return nullptr;
}

bool parametersAre(ParameterSpan pars, std::initializer_list<int64_t> values)
{
    return std::equal(pars.begin(), pars.end(), values.begin(), values.end());
}

void pushBounded(std::vector<std::string> &stack, const std::string &entry)
{
    if (stack.size() >= Terminal::maximumTitleStackDepth) {
        stack.erase(stack.begin());
    }
    stack.push_back(entry);
}

} // namespace

void Terminal::ReplyItem::appendTo(std::vector<uint8_t> &reply) const
{
    if (isByte_) {
        reply.push_back(byte_);
    } else {
        reply.insert(reply.end(), bytes_.begin(), bytes_.end());
    }
}

void Terminal::sendReply(std::initializer_list<ReplyItem> items)
{
    if (tdel_ == nullptr) {
        return;
    }
    std::vector<uint8_t> reply;
    for (const ReplyItem &item : items) {
        item.appendTo(reply);
    }
    tdel_->terminalSendToHost(*this, reply);
}

void Terminal::sendReply(std::string_view text)
{
    if (tdel_ == nullptr) {
        return;
    }
    tdel_->terminalSendToHost(*this, ByteSpan(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

// MARK: Device attributes and status reports

void Terminal::cmdDeviceAttributes(ParameterSpan pars, ByteSpan collect)
{
    if (!pars.empty() && pars[0] > 0) {
        logInfo("SendDeviceAttributes got " + describeParameters(pars) + " and " +
                std::string(collect.begin(), collect.end()));
        return;
    }
    if (intermediatesAre(collect, ">")) {
        sendReply({csi(), ">65;20;1c"});
        return;
    }
    if (!collect.empty()) {
        return;
    }
    const std::string_view name = options.termName;
    if (startsWith(name, "xterm")) {
        sendReply({csi(), "?65", options.enableSixelReported ? ";4" : "", ";1;2;6;21;22;17;28c"});
    } else if (startsWith(name, "screen") || startsWith(name, "rxvt-unicode")) {
        sendReply({csi(), "?1;2c"});
    } else if (startsWith(name, "linux")) {
        sendReply({csi(), "?6c"});
    }
}

void Terminal::cmdDeviceStatusReport(ParameterSpan pars, ByteSpan collect)
{
    const int64_t request = pars.empty() ? 0 : pars[0];
    // Positions are 1-based and, in origin mode, relative to the region; never below 1.
    const int64_t row = std::max<int64_t>(buffer->y() + 1 - (originMode ? buffer->scrollTop() : 0), 1);
    // A cursor waiting to wrap past the last column is still on it.
    const int64_t x = std::min(buffer->x(), cols - 1);
    if (collect.empty()) {
        if (request == 5) {
            sendReply({csi(), "0n"});
        } else if (request == 6) {
            const int64_t col = std::max<int64_t>(x + 1 - (originMode ? buffer->marginLeft() : 0), 1);
            sendReply({csi(), std::to_string(row), ";", std::to_string(col), "R"});
        }
        return;
    }
    if (!intermediatesAre(collect, "?")) {
        return;
    }
    if (request == 6) {
        const int64_t col = std::max<int64_t>(x + 1 - (usingMargins() ? buffer->marginLeft() : 0), 1);
        sendReply({csi(), "?", std::to_string(row), ";", std::to_string(col), ";1R"});
    } else if (request == 63) {
        const int64_t id = pars.size() > 1 ? pars[1] : 0;
        sendReply({dcs(), std::to_string(id), "!~0000", st()});
    } else {
        for (const FixedStatusReport &report : fixedPrivateStatusReports) {
            if (report.request == request) {
                sendReply({csi(), report.reply});
                return;
            }
        }
    }
}

// MARK: Rectangle checksum

void Terminal::cmdDECRQCRA(ParameterSpan pars, ByteSpan collect)
{
    if (!intermediatesAre(collect, "*")) {
        return;
    }
    const int64_t id = pars.empty() ? 1 : pars[0];
    uint32_t checksum = 0;
    if (tdel_ != nullptr && tdel_->terminalAllowsHostQueries(*this) && pars.size() >= 3) {
        if (const std::optional<CellRectangle> rectangle = getRectangleFromRequest(pars.subspan(2))) {
            checksum = rectangleChecksum(*rectangle);
        }
    }
    // The checksum is a 16-bit value: four hexadecimal digits.
    char text[16];
    std::snprintf(text, sizeof text, "%04x", checksum & 0xFFFFU);
    sendReply({dcs(), std::to_string(id), "!~", text, st()});
}

// The sum of the scalar values of the cells' text; an empty cell counts as a space. The sum wraps.
uint32_t Terminal::rectangleChecksum(const CellRectangle &rectangle)
{
    uint32_t sum = 0;
    CircularBufferLineList &lines = buffer->lines();
    for (int64_t row = rectangle.top; row <= rectangle.bottom; ++row) {
        const int64_t index = buffer->yBase() + row;
        if (index >= lines.count()) {
            break;
        }
        const BufferLine &line = lines[index];
        for (int64_t col = rectangle.left; col <= rectangle.right; ++col) {
            const int32_t code = line[col].code;
            if (code == 0) {
                sum += ' ';
            } else if (isUnicodeScalar(code)) {
                sum += static_cast<uint32_t>(code);
            } else {
                const std::string text = stringForCellCode(code);
                for (size_t i = 0; i < text.size();) {
                    sum += utf8::next(text, i);
                }
            }
        }
    }
    return sum;
}

std::optional<Terminal::CellRectangle> Terminal::getRectangleFromRequest(ParameterSpan pars) const
{
    const auto parameter = [pars](size_t index) -> std::optional<int64_t> {
        return index < pars.size() ? std::optional(pars[index]) : std::nullopt;
    };
    const auto start = [&parameter](size_t index) {
        const std::optional<int64_t> value = parameter(index);
        return value && *value >= 2 ? *value : 1;
    };
    const auto end = [&parameter](size_t index, int64_t limit) {
        const std::optional<int64_t> value = parameter(index);
        return std::min(value && *value >= 0 ? *value : limit, limit);
    };
    // A start beyond the screen gives no rectangle either way; bounding it keeps the sums small.
    int64_t top = std::min(start(0), rows + 1);
    int64_t left = std::min(start(1), cols + 1);
    int64_t bottom = end(2, rows);
    int64_t right = end(3, cols);
    if (originMode) {
        top += buffer->scrollTop();
        bottom += buffer->scrollTop();
        left += buffer->marginLeft();
        right += buffer->marginLeft();
    }
    if (bottom < top || right < left) {
        return std::nullopt;
    }
    return CellRectangle{std::min(top - 1, rows - 1), std::min(left - 1, cols - 1),
                         std::min(bottom - 1, rows - 1), std::min(right - 1, cols - 1)};
}

// MARK: Window operations

void Terminal::cmdWindowManipulation(ParameterSpan pars, ByteSpan)
{
    if (tdel_ == nullptr) {
        return;
    }
    if (const WindowRequest *request = findWindowRequest(windowRequests, pars)) {
        tdel_->terminalWindowRequest(*this, WindowManipulationCommand::of(request->kind));
    } else if (const WindowRequest *report = findWindowRequest(windowReports, pars)) {
        windowReport(WindowManipulationCommand::of(report->kind), pars);
    } else if (pars.size() == 3 && pars[0] == 3) {
        tdel_->terminalWindowRequest(*this, WindowManipulationCommand::moveWindowTo(pars[1], pars[2]));
    } else if (pars.size() == 3 && pars[0] == 4) {
        // Height first on the wire.
        tdel_->terminalWindowRequest(*this, WindowManipulationCommand::resizeWindowTo(pars[2], pars[1]));
    } else if (pars.size() == 3 && pars[0] == 8) {
        // Rows first on the wire.
        tdel_->terminalWindowRequest(*this, WindowManipulationCommand::resizeTerminal(pars[2], pars[1]));
    } else if (parametersAre(pars, {20})) {
        sendOscReply("L");
    } else if (parametersAre(pars, {21})) {
        sendOscReply("l");
    } else if (parametersAre(pars, {22, 0}) || parametersAre(pars, {22, 0, 0})) {
        pushTitles(true, true);
    } else if (parametersAre(pars, {22, 1})) {
        pushTitles(false, true);
    } else if (parametersAre(pars, {22, 2})) {
        pushTitles(true, false);
    } else if (parametersAre(pars, {23, 0}) || parametersAre(pars, {23, 0, 0})) {
        popTitles(true, true);
    } else if (parametersAre(pars, {23, 1})) {
        popTitles(false, true);
    } else if (parametersAre(pars, {23, 2})) {
        popTitles(true, false);
    } else {
        logInfo("Unhandled Window command: " + describeParameters(pars));
    }
}

// The delegate answers first; without an answer the terminal reports from its own size.
void Terminal::windowReport(const WindowManipulationCommand &command, ParameterSpan pars)
{
    if (const std::optional<std::vector<uint8_t>> answer = tdel_->terminalWindowRequest(*this, command)) {
        sendReply({*answer});
        return;
    }
    const std::optional<CellPixelSize> cellSize = tdel_->terminalCellPixelSize(*this);
    const int64_t cellWidth = cellSize ? cellSize->width : 10;
    const int64_t cellHeight = cellSize ? cellSize->height : 16;
    switch (pars[0]) {
    case 14:
    case 15:
        sendReply({csi(), pars[0] == 14 ? "4;" : "5;", std::to_string(saturatingMultiply(cellHeight, rows)),
                   ";", std::to_string(saturatingMultiply(cellWidth, cols)), "t"});
        break;
    case 16:
        sendReply({csi(), "6;", std::to_string(cellHeight), ";", std::to_string(cellWidth), "t"});
        break;
    case 18:
        sendReply({csi(), "8;", std::to_string(rows), ";", std::to_string(cols), "t"});
        break;
    case 19:
        sendReply({csi(), "9;", std::to_string(rows), ";", std::to_string(cols), "t"});
        break;
    default:
        break;
    }
}

void Terminal::pushTitles(bool title, bool icon)
{
    if (title) {
        pushBounded(terminalTitleStack, terminalTitle);
    }
    if (icon) {
        pushBounded(terminalIconStack, iconTitle);
    }
}

// A popped title becomes the current one again, so a later push saves what is shown.
void Terminal::popTitles(bool title, bool icon)
{
    if (title && !terminalTitleStack.empty()) {
        std::string popped = std::move(terminalTitleStack.back());
        terminalTitleStack.pop_back();
        updateTitle(std::move(popped));
    }
    if (icon && !terminalIconStack.empty()) {
        std::string popped = std::move(terminalIconStack.back());
        terminalIconStack.pop_back();
        updateIconTitle(std::move(popped));
    }
}

} // namespace kestrix

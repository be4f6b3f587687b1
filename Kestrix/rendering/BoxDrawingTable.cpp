#include "Kestrix/rendering/BoxDrawingTable.h"

#include <array>
#include <string_view>

namespace kestrix {

namespace {

constexpr uint32_t firstBoxDrawing = 0x2500;

// Arms read up, right, down, left: "-" none, "L" light, "H" heavy, "D" double.
// Eight code points per line, U+2500 to U+257F.
constexpr std::array<std::string_view, 128> boxDrawingTable = {
    "-L-L",   "-H-H",     "L-L-",     "H-H-",     "dashes", "dashes", "dashes", "dashes", // U+2500
    "dashes", "dashes",   "dashes",   "dashes",   "-LL-",   "-HL-",   "-LH-",   "-HH-",   // U+2508
    "--LL",   "--LH",     "--HL",     "--HH",     "LL--",   "LH--",   "HL--",   "HH--",   // U+2510
    "L--L",   "L--H",     "H--L",     "H--H",     "LLL-",   "LHL-",   "HLL-",   "LLH-",   // U+2518
    "HLH-",   "HHL-",     "LHH-",     "HHH-",     "L-LL",   "L-LH",   "H-LL",   "L-HL",   // U+2520
    "H-HL",   "H-LH",     "L-HH",     "H-HH",     "-LLL",   "-LLH",   "-HLL",   "-HLH",   // U+2528
    "-LHL",   "-LHH",     "-HHL",     "-HHH",     "LL-L",   "LL-H",   "LH-L",   "LH-H",   // U+2530
    "HL-L",   "HL-H",     "HH-L",     "HH-H",     "LLLL",   "LLLH",   "LHLL",   "LHLH",   // U+2538
    "HLLL",   "LLHL",     "HLHL",     "HLLH",     "HHLL",   "LLHH",   "LHHL",   "HHLH",   // U+2540
    "LHHH",   "HLHH",     "HHHL",     "HHHH",     "dashes", "dashes", "dashes", "dashes", // U+2548
    "-D-D",   "D-D-",     "-DL-",     "-LD-",     "-DD-",   "--LD",   "--DL",   "--DD",   // U+2550
    "LD--",   "DL--",     "DD--",     "L--D",     "D--L",   "D--D",   "LDL-",   "DLD-",   // U+2558
    "DDD-",   "L-LD",     "D-DL",     "D-DD",     "-DLD",   "-LDL",   "-DDD",   "LD-D",   // U+2560
    "DL-L",   "DD-D",     "LDLD",     "DLDL",     "DDDD",   "corner", "corner", "corner", // U+2568
    "corner", "diagonal", "diagonal", "diagonal", "---L",   "L---",   "-L--",   "--L-",   // U+2570
    "---H",   "H---",     "-H--",     "--H-",     "-H-L",   "L-H-",   "-L-H",   "H-L-",   // U+2578
};

struct DashedLine {
    uint32_t codePoint;
    BoxDashes dashes;
};

constexpr auto horizontal = BoxDashDirection::horizontal;
constexpr auto vertical = BoxDashDirection::vertical;
constexpr auto light = BoxStrokeWeight::light;
constexpr auto heavy = BoxStrokeWeight::heavy;

constexpr std::array<DashedLine, 12> dashedLines = {{
    {0x2504, {3, horizontal, light, BoxDashGapCap::lightButAtLeastFour}},
    {0x2505, {3, horizontal, heavy, BoxDashGapCap::lightButAtLeastFour}},
    {0x2506, {3, vertical, light, BoxDashGapCap::lightButAtLeastFour}},
    {0x2507, {3, vertical, heavy, BoxDashGapCap::lightButAtLeastFour}},
    {0x2508, {4, horizontal, light, BoxDashGapCap::lightButAtLeastFour}},
    {0x2509, {4, horizontal, heavy, BoxDashGapCap::lightButAtLeastFour}},
    {0x250A, {4, vertical, light, BoxDashGapCap::lightButAtLeastFour}},
    {0x250B, {4, vertical, heavy, BoxDashGapCap::lightButAtLeastFour}},
    {0x254C, {2, horizontal, light, BoxDashGapCap::light}},
    {0x254D, {2, horizontal, heavy, BoxDashGapCap::heavy}},
    {0x254E, {2, vertical, light, BoxDashGapCap::heavy}},
    {0x254F, {2, vertical, heavy, BoxDashGapCap::heavy}},
}};

struct RoundedCorner {
    uint32_t codePoint;
    BoxCorner corner;
};

constexpr std::array<RoundedCorner, 4> roundedCorners = {{
    {0x256D, {BoxCornerVerticalArm::down, BoxCornerHorizontalArm::right}},
    {0x256E, {BoxCornerVerticalArm::down, BoxCornerHorizontalArm::left}},
    {0x256F, {BoxCornerVerticalArm::up, BoxCornerHorizontalArm::left}},
    {0x2570, {BoxCornerVerticalArm::up, BoxCornerHorizontalArm::right}},
}};

struct DiagonalLines {
    uint32_t codePoint;
    BoxDiagonals diagonals;
};

constexpr std::array<DiagonalLines, 3> diagonalLines = {{
    {0x2571, {.rising = true, .falling = false}},
    {0x2572, {.rising = false, .falling = true}},
    {0x2573, {.rising = true, .falling = true}},
}};

constexpr uint32_t armWeight(char symbol)
{
    switch (symbol) {
    case 'L':
        return 1;
    case 'H':
        return 2;
    case 'D':
        return 3;
    default:
        return 0;
    }
}

constexpr BoxDrawingEntry parseEntry(std::string_view text)
{
    if (text == "dashes") {
        return {BoxDrawingKind::dashes, 0};
    }
    if (text == "corner") {
        return {BoxDrawingKind::corner, 0};
    }
    if (text == "diagonal") {
        return {BoxDrawingKind::diagonal, 0};
    }
    const BoxArmDescriptor arms =
        armWeight(text[0]) | armWeight(text[1]) << 8 | armWeight(text[2]) << 16 | armWeight(text[3]) << 24;
    return {BoxDrawingKind::arms, arms};
}

constexpr bool isWellFormed(std::string_view text)
{
    if (text == "dashes" || text == "corner" || text == "diagonal") {
        return true;
    }
    if (text.size() != 4) {
        return false;
    }
    for (char symbol : text) {
        if (symbol != '-' && symbol != 'L' && symbol != 'H' && symbol != 'D') {
            return false;
        }
    }
    return true;
}

constexpr bool tableIsWellFormed()
{
    for (std::string_view text : boxDrawingTable) {
        if (!isWellFormed(text)) {
            return false;
        }
    }
    return true;
}
static_assert(tableIsWellFormed());
static_assert(parseEntry(boxDrawingTable[0x0C]).arms == 0x00010100, "light down and right");

constexpr bool specialsAreListed()
{
    for (size_t i = 0; i < boxDrawingTable.size(); ++i) {
        const uint32_t codePoint = firstBoxDrawing + static_cast<uint32_t>(i);
        const BoxDrawingKind kind = parseEntry(boxDrawingTable[i]).kind;
        int listed = 0;
        for (const DashedLine &line : dashedLines) {
            listed += line.codePoint == codePoint && kind == BoxDrawingKind::dashes;
        }
        for (const RoundedCorner &corner : roundedCorners) {
            listed += corner.codePoint == codePoint && kind == BoxDrawingKind::corner;
        }
        for (const DiagonalLines &lines : diagonalLines) {
            listed += lines.codePoint == codePoint && kind == BoxDrawingKind::diagonal;
        }
        if (listed != (kind == BoxDrawingKind::arms ? 0 : 1)) {
            return false;
        }
    }
    return true;
}
static_assert(specialsAreListed(), "every special drawing has exactly one description");

constexpr std::array<BoxDrawingEntry, 128> parsedEntries = [] {
    std::array<BoxDrawingEntry, 128> entries{};
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i] = parseEntry(boxDrawingTable[i]);
    }
    return entries;
}();

template <typename Row, size_t count>
auto findRow(const std::array<Row, count> &rows, uint32_t codePoint) -> decltype(&rows[0])
{
    for (const Row &row : rows) {
        if (row.codePoint == codePoint) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace

BoxArms BoxArms::fromDescriptor(BoxArmDescriptor descriptor)
{
    const auto weightAt = [descriptor](int shift) {
        return static_cast<BoxArmWeight>((descriptor >> shift) & 0x3);
    };
    return {weightAt(0), weightAt(8), weightAt(16), weightAt(24)};
}

std::optional<BoxDrawingEntry> boxDrawingEntry(uint32_t codePoint)
{
    if (codePoint < firstBoxDrawing || codePoint - firstBoxDrawing >= boxDrawingTable.size()) {
        return std::nullopt;
    }
    return parsedEntries[codePoint - firstBoxDrawing];
}

std::optional<BoxDashes> boxDashes(uint32_t codePoint)
{
    if (const DashedLine *line = findRow(dashedLines, codePoint)) {
        return line->dashes;
    }
    return std::nullopt;
}

std::optional<BoxCorner> boxCorner(uint32_t codePoint)
{
    if (const RoundedCorner *corner = findRow(roundedCorners, codePoint)) {
        return corner->corner;
    }
    return std::nullopt;
}

std::optional<BoxDiagonals> boxDiagonals(uint32_t codePoint)
{
    if (const DiagonalLines *lines = findRow(diagonalLines, codePoint)) {
        return lines->diagonals;
    }
    return std::nullopt;
}

} // namespace kestrix

#pragma once

#include <cstdint>
#include <optional>

// What each Box Drawing character (U+2500 to U+257F) is made of: four arms from the cell centre to
// its edges, or one of the drawings that arms cannot express (dashes, rounded corners, diagonals).

namespace kestrix {

enum class BoxArmWeight : uint8_t { none = 0, light = 1, heavy = 2, doubled = 3 };

// One byte per arm holding its weight: up bits 0-7, right 8-15, down 16-23, left 24-31.
using BoxArmDescriptor = uint32_t;

struct BoxArms {
    BoxArmWeight up = BoxArmWeight::none;
    BoxArmWeight right = BoxArmWeight::none;
    BoxArmWeight down = BoxArmWeight::none;
    BoxArmWeight left = BoxArmWeight::none;

    static BoxArms fromDescriptor(BoxArmDescriptor descriptor);
};

enum class BoxDrawingKind : uint8_t { arms, dashes, corner, diagonal };

struct BoxDrawingEntry {
    BoxDrawingKind kind = BoxDrawingKind::arms;
    BoxArmDescriptor arms = 0; // only for BoxDrawingKind::arms
};

// None outside U+2500 to U+257F.
std::optional<BoxDrawingEntry> boxDrawingEntry(uint32_t codePoint);

enum class BoxDashDirection : uint8_t { horizontal, vertical };
enum class BoxStrokeWeight : uint8_t { light, heavy };
enum class BoxDashGapCap : uint8_t { lightButAtLeastFour, light, heavy };

struct BoxDashes {
    int count = 0;
    BoxDashDirection direction = BoxDashDirection::horizontal;
    BoxStrokeWeight weight = BoxStrokeWeight::light;
    BoxDashGapCap gapCap = BoxDashGapCap::light;
};

// For the entries of kind dashes.
std::optional<BoxDashes> boxDashes(uint32_t codePoint);

// A rounded corner is named by the two arms it joins; the arc bends into the quadrant between them.
enum class BoxCornerHorizontalArm : uint8_t { left, right };
enum class BoxCornerVerticalArm : uint8_t { up, down };

struct BoxCorner {
    BoxCornerVerticalArm vertical = BoxCornerVerticalArm::down;
    BoxCornerHorizontalArm horizontal = BoxCornerHorizontalArm::right;
};

// For the entries of kind corner.
std::optional<BoxCorner> boxCorner(uint32_t codePoint);

struct BoxDiagonals {
    bool rising = false;  // top right to bottom left
    bool falling = false; // top left to bottom right
};

// For the entries of kind diagonal.
std::optional<BoxDiagonals> boxDiagonals(uint32_t codePoint);

} // namespace kestrix

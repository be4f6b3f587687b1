#pragma once

#include "Kestrix/model/Color.h"

#include <optional>
#include <span>
#include <vector>

namespace kestrix {

// How the 256-colour table is derived from the 16 installed base colours.
enum class Ansi256PaletteStrategy {
    // The fixed xterm 6x6x6 cube and 24-step grey ramp.
    xterm,
    // Cube and greys interpolated between the base colours in CIE L*a*b*; a light theme (foreground
    // darker than background) is turned around so the cube still starts at the darker end.
    base16Lab,
    // Like base16Lab, but the background always stays at the cube's origin.
    base16LabHarmonious,
};

// The base colours unchanged, then the xterm cube (16-231) and grey ramp (232-255).
std::vector<Color> makeXtermPalette(std::span<const Color> base);

// The base colours unchanged, then a cube and grey ramp interpolated in L*a*b* between the first
// eight base colours, with the background and foreground standing in for black and white.
// Fewer than eight base colours give the xterm palette.
std::vector<Color> makeLabPalette(std::span<const Color> base, std::optional<Color> background,
                                  std::optional<Color> foreground, bool harmonious);

} // namespace kestrix

#include "Kestrix/model/Ansi256PaletteStrategy.h"

#include <array>
#include <utility>

namespace kestrix {

namespace {

constexpr std::array<uint8_t, 6> xtermCubeLevels{0, 95, 135, 175, 215, 255};
constexpr int cubeSteps = 6;
constexpr int greySteps = 24;

Color::LabColor lerp(const Color::LabColor &p, const Color::LabColor &q, double t)
{
    return {p.l + (q.l - p.l) * t, p.a + (q.a - p.a) * t, p.b + (q.b - p.b) * t};
}

} // namespace

std::vector<Color> makeXtermPalette(std::span<const Color> base)
{
    std::vector<Color> palette(base.begin(), base.end());
    palette.reserve(base.size() + cubeSteps * cubeSteps * cubeSteps + greySteps);
    for (int i = 0; i < cubeSteps * cubeSteps * cubeSteps; ++i) {
        palette.push_back(Color::fromRgb8(xtermCubeLevels[(i / 36) % 6], xtermCubeLevels[(i / 6) % 6],
                                          xtermCubeLevels[i % 6]));
    }
    for (int n = 0; n < greySteps; ++n) {
        const auto level = static_cast<uint16_t>(0x0808 + n * 0x0A0A);
        palette.push_back({level, level, level});
    }
    return palette;
}

std::vector<Color> makeLabPalette(std::span<const Color> base, std::optional<Color> background,
                                  std::optional<Color> foreground, bool harmonious)
{
    if (base.size() < 8) {
        return makeXtermPalette(base);
    }
    std::array<Color::LabColor, 8> lab;
    for (size_t i = 0; i < lab.size(); ++i) {
        lab[i] = base[i].toLab();
    }
    lab[0] = background.value_or(base[0]).toLab();
    lab[7] = foreground.value_or(base[7]).toLab();
    // A light theme: keep the cube running from the dark end unless the background must stay first.
    if (lab[7].l < lab[0].l && !harmonious) {
        std::swap(lab[0], lab[7]);
    }

    std::vector<Color> palette(base.begin(), base.end());
    palette.reserve(base.size() + cubeSteps * cubeSteps * cubeSteps + greySteps);
    for (int r = 0; r < cubeSteps; ++r) {
        const double t = r / 5.0;
        const auto c0 = lerp(lab[0], lab[1], t);
        const auto c1 = lerp(lab[2], lab[3], t);
        const auto c2 = lerp(lab[4], lab[5], t);
        const auto c3 = lerp(lab[6], lab[7], t);
        for (int g = 0; g < cubeSteps; ++g) {
            const double u = g / 5.0;
            const auto c4 = lerp(c0, c1, u);
            const auto c5 = lerp(c2, c3, u);
            for (int b = 0; b < cubeSteps; ++b) {
                palette.push_back(Color::fromLab(lerp(c4, c5, b / 5.0)));
            }
        }
    }
    for (int j = 1; j <= greySteps; ++j) {
        palette.push_back(Color::fromLab(lerp(lab[0], lab[7], j / 25.0)));
    }
    return palette;
}

} // namespace kestrix

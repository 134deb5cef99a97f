#include "Palette.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace display {

Rgb PaletteColour(int index) {
    static constexpr std::array<Rgb, protocol::kPaletteSize> kPalette = {{
        {0, 0, 0},
        {0, 0, 128},
        {0, 128, 0},
        {0, 128, 128},
        {128, 0, 0},
        {128, 0, 128},
        {128, 128, 0},
        {192, 192, 192},
        {128, 128, 128},
        {0, 0, 255},
        {0, 255, 0},
        {0, 255, 255},
        {255, 0, 0},
        {255, 0, 255},
        {255, 255, 0},
        {255, 255, 255},
    }};
    return kPalette.at(static_cast<std::size_t>(index));
}

namespace {

double RelativeLuminance(Rgb colour) {
    const auto channel = [](std::uint8_t value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red) + 0.7152 * channel(colour.green) +
           0.0722 * channel(colour.blue);
}

}  // namespace

double ContrastRatio(Rgb a, Rgb b) {
    const double first = RelativeLuminance(a);
    const double second = RelativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

Rgb Backdrop(Rgb colour) {
    constexpr Rgb kBlack{0, 0, 0};
    constexpr Rgb kWhite{255, 255, 255};
    return ContrastRatio(colour, kBlack) >= 4.5 ? kBlack : kWhite;
}

}  // namespace display

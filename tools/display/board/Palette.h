#pragma once
// The board's colours: the classic 16-colour palette that colour messages name by index, and
// the one rule every output with colour follows for what goes behind a text. Plain C++.

#include <cstdint>

#include "protocol/Wire.h"

namespace display {

using protocol::IsPaletteIndex;

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The classic 16-colour palette: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 brown,
// 7 light grey, 8 dark grey, 9 light blue, 10 light green, 11 light cyan, 12 light red,
// 13 light magenta, 14 yellow, 15 bright white. Requires IsPaletteIndex(index).
Rgb PaletteColour(int index);

// The contrast ratio of two colours by the WCAG 2 formula, from 1 (none) to 21 (black on
// white).
double ContrastRatio(Rgb a, Rgb b);

// The colour every output puts directly behind a text drawn in colour: black, or white (a light
// plate) for the colours too dark to read on black, so that every palette colour has a
// contrast ratio of at least 4.5:1 with what is behind it.
Rgb Backdrop(Rgb colour);

}  // namespace display

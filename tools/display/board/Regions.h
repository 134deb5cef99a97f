#pragma once
// Where each part of the board goes on a screen, the one rule for the window, the full-screen
// window and the page: the register's name as a header along the top, at most 8% of the height;
// the scrolling text as a band along the bottom, at most 12% of the height on a portrait screen
// and 18% on a landscape one; the text or the sale in all the rest. A part that is empty takes
// no room. In the text's region a sale's rows are at least a twelfth of it each, and its total
// one and a half times their size. While nobody buys, the shop's logo takes the top 40% of
// the text's region, above the welcome text, and a picture of the shop's all of it, each made
// as large as fits with its sides' ratio kept. Plain C++.

namespace display {

inline constexpr double kHeaderShare = 0.08;
inline constexpr double kBandShareLandscape = 0.18;
inline constexpr double kBandSharePortrait = 0.12;
// A sale's item rows are each at least this part of the text's region: 1/12 of it.
inline constexpr int kSaleRowsAtMost = 12;
// A sale's total (and change due) is this many times the items' size.
inline constexpr double kTotalScale = 1.5;
// The part of the text's region the logo takes above the welcome text (all of it without a
// text).
inline constexpr double kLogoShare = 0.4;

struct Regions {
    double headerHeight = 0;  // from the top
    double bandHeight = 0;    // from the bottom
    double textTop = 0;
    double textHeight = 0;
};

// The regions of a width x height screen, with or without a register's name and a scrolling
// text.
inline Regions RegionsFor(double width, double height, bool hasRegister, bool hasScroll) {
    Regions regions;
    regions.headerHeight = hasRegister ? height * kHeaderShare : 0;
    const double band = height > width ? kBandSharePortrait : kBandShareLandscape;
    regions.bandHeight = hasScroll ? height * band : 0;
    regions.textTop = regions.headerHeight;
    regions.textHeight = height - regions.headerHeight - regions.bandHeight;
    return regions;
}

}  // namespace display

#pragma once
// A QR code as an SVG image, made by the display for its web page (the page's script only
// puts it in an <img>: nothing in the browser builds a code). Plain C++.
//
// The image is the symbol with its quiet zone: a white square of sideWithQuietZone() units and
// every dark module a black unit square on it, whatever colour the board has, in one path drawn
// with crisp edges, so that at a whole number of pixels per unit each module is whole pixels.

#include <string>

#include "QrSymbol.h"

namespace display {

// The SVG document of symbol (UTF-8, one line).
std::string QrSvg(const QrSymbol& symbol);

// The same as a data: URL ("data:image/svg+xml;base64,..."), which the page's policy allows
// as an image source.
std::string QrSvgDataUrl(const QrSymbol& symbol);

}  // namespace display

#pragma once
// A QR code's pixels as the window draws it, wherever it goes (a payment code, the page's
// address): dark modules on white whatever the board's colour, the quiet zone included, each
// module a square of whole pixels, so that a camera reads it.

#include <QImage>

#include "qr/QrSymbol.h"

namespace display {

// The symbol, modulePixels pixels a module (at least 1), quiet zone included.
QImage QrImage(const QrSymbol& symbol, int modulePixels);

}  // namespace display

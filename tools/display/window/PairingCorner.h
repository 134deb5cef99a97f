#pragma once
// The display page's address in a corner of the window, for a tablet to open it without typing:
// a QR code of the address with the address as text under it, on a white card in the
// bottom-right corner, above the scrolling band. Drawn to be scanned: dark modules on white,
// the quiet zone of 4 modules, each module a whole number of the screen's device pixels (at
// least 2), the card small (about a fifth of the window's shorter side) and never cut while the
// window holds it. Qt code for the GUI thread; the symbol is encoded once per address.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

#include "qr/QrSymbol.h"

namespace display {

class PairingCorner {
  public:
    // The address to show from now on ("http://192.168.1.20:8080/"); empty: none. True when it
    // changed.
    bool Set(const QString& url);

    // The address shown, or empty.
    const QString& url() const { return url_; }
    bool empty() const { return !symbol_; }

    struct Placement {
        QRect card;            // the white card, code and address, in window pixels
        QRect code;            // the symbol with its quiet zone, in window pixels
        QRectF text;           // the address's line, under the code
        int modulePixels = 0;  // device pixels a module
        qreal ratio = 1;       // device pixels a window pixel
    };

    // Where the card goes in a window of size (device pixels ratio times its own) whose
    // bottom bandHeight pixels are the scrolling band; an empty placement when there is no
    // address or the window is too small to hold it.
    Placement Place(QSize window, double bandHeight, qreal ratio) const;

    // Draws the card where placement says.
    void Paint(QPainter& painter, const Placement& placement) const;

    // The share of the window's shorter side the code's side aims at.
    static constexpr double kShare = 0.2;
    // Device pixels a module at the least: one pixel modules blur on a camera.
    static constexpr int kLeastModulePixels = 2;

  private:
    QString url_;
    std::optional<QrSymbol> symbol_;
    mutable QImage image_;  // at imageModulePixels_ device pixels a module
    mutable int imageModulePixels_ = 0;
};

}  // namespace display

#pragma once
// The board's QR code on the window: where it goes beside the text, and its drawing. Drawn to
// be scanned from a phone held at the counter: dark modules on white whatever the board's
// colour, with the quiet zone of 4 modules, each module a whole number of the screen's pixels,
// the code's side at least 30% of the window's shorter side and never cut. In a landscape
// window the code stands on the right of the text's region, in a portrait one under the text,
// its caption under it in the board's colour; with no text or sale it stands alone in the
// middle. Qt code for the GUI thread; the symbol is encoded once per payload, its image once
// per size.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <string>

#include "qr/QrSymbol.h"

namespace display {

class QrPanel {
  public:
    // The code to show from now on (an empty payload: none). True when it changed.
    bool Set(const std::string& payload, const std::string& caption);

    // Whether there is a code or a caption to show.
    bool empty() const { return !symbol_ && caption_.isEmpty(); }

    struct Placement {
        QRect code;            // the symbol with its quiet zone, in window pixels (empty: none)
        QRectF caption;        // where the caption goes, under the code
        QRectF text;           // what is left of the text's region for the text
        int modulePixels = 0;  // device pixels a module
        qreal ratio = 1;       // device pixels a window pixel
    };

    // Where the code, its caption and the text go in area, the text's region of a window of
    // size whose device pixels are ratio times its own; alone says there is no text to leave
    // room for.
    Placement Place(const QRectF& area, QSize window, qreal ratio, bool alone) const;

    // Draws the code and its caption (in colour) where placement says.
    void Paint(QPainter& painter, const Placement& placement, const QColor& colour) const;

    // The smallest share of the window's shorter side the code's side takes, and the share it
    // takes when there is room.
    static constexpr double kLeastShare = 0.30;
    static constexpr double kShare = 0.45;

  private:
    std::string payload_;
    std::optional<QrSymbol> symbol_;
    QString caption_;
    // The symbol's image at modulePixels device pixels a module, made once per size.
    mutable QImage image_;
    mutable int imageModulePixels_ = 0;
};

}  // namespace display

#include "QrImage.h"

#include <QPainter>

namespace display {

QImage QrImage(const QrSymbol& symbol, int modulePixels) {
    const int side = symbol.sideWithQuietZone() * modulePixels;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < symbol.size(); ++y) {
        for (int x = 0; x < symbol.size(); ++x) {
            if (!symbol.Dark(x, y)) continue;
            painter.fillRect((x + kQrQuietZone) * modulePixels, (y + kQrQuietZone) * modulePixels,
                             modulePixels, modulePixels, Qt::black);
        }
    }
    return image;
}

}  // namespace display

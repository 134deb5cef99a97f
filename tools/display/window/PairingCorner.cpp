#include "PairingCorner.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

#include "QrImage.h"

namespace display {

namespace {

// The card's margin from the window's edges and around its contents, in window pixels.
constexpr int kMargin = 8;
constexpr int kPadding = 4;

int TextPixels(double side) {
    return std::max(10, static_cast<int>(side * 0.09));
}

}  // namespace

bool PairingCorner::Set(const QString& url) {
    if (url == url_) return false;
    url_ = url;
    symbol_ = url.isEmpty() ? std::nullopt : QrSymbol::Encode(url.toStdString());
    image_ = QImage();
    imageModulePixels_ = 0;
    return true;
}

PairingCorner::Placement PairingCorner::Place(QSize window, double bandHeight, qreal ratio) const {
    Placement placement;
    if (!symbol_ || ratio <= 0) return placement;
    const int modules = symbol_->sideWithQuietZone();
    const double shorter = std::min(window.width(), window.height());
    const int modulePixels = std::max(
        kLeastModulePixels, static_cast<int>(std::floor(shorter * kShare * ratio / modules)));
    const int codeSide = static_cast<int>(std::ceil(modulePixels * modules / ratio));
    const int textHeight = static_cast<int>(std::ceil(TextPixels(codeSide) * 1.4));
    const int cardWidth = codeSide + 2 * kPadding;
    const int cardHeight = codeSide + textHeight + 2 * kPadding;
    const int right = window.width() - kMargin;
    const int bottom = window.height() - static_cast<int>(std::ceil(bandHeight)) - kMargin;
    const QRect card(right - cardWidth, bottom - cardHeight, cardWidth, cardHeight);
    if (card.left() < 0 || card.top() < 0) return placement;  // no room: better none than cut
    // On whole device pixels, so that each module is whole pixels.
    const auto snap = [ratio](double v) { return static_cast<int>(std::round(v * ratio) / ratio); };
    placement.card = card;
    placement.code =
        QRect(snap(card.left() + kPadding), snap(card.top() + kPadding), codeSide, codeSide);
    placement.text = QRectF(card.left(), placement.code.bottom() + 1, cardWidth, textHeight);
    placement.modulePixels = modulePixels;
    placement.ratio = ratio;
    return placement;
}

void PairingCorner::Paint(QPainter& painter, const Placement& placement) const {
    if (!symbol_ || placement.modulePixels <= 0) return;
    if (imageModulePixels_ != placement.modulePixels) {
        image_ = QrImage(*symbol_, placement.modulePixels);
        imageModulePixels_ = placement.modulePixels;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.fillRect(placement.card, Qt::white);
    // Device pixel for device pixel: never scaled, never smoothed.
    image_.setDevicePixelRatio(placement.ratio);
    painter.drawImage(placement.code.topLeft(), image_);
    QFont font = painter.font();
    int size = TextPixels(placement.code.width());
    font.setPixelSize(size);
    while (size > 8 && QFontMetricsF(font).horizontalAdvance(url_) > placement.text.width()) {
        size = std::max(8, size * 9 / 10);
        font.setPixelSize(size);
    }
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(placement.text, Qt::AlignHCenter | Qt::AlignVCenter,
                     QFontMetricsF(font).elidedText(url_, Qt::ElideMiddle, placement.text.width()));
    painter.restore();
}

}  // namespace display

#include "QrPanel.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

#include "QrImage.h"

namespace display {

namespace {

// Between the code, its caption and the text, as a share of the window's shorter side.
constexpr double kGapShare = 0.03;

// The caption's font: a tenth of the code's side, and at least this.
constexpr int kLeastCaptionPixels = 12;

int CaptionPixels(double side) {
    return std::max(kLeastCaptionPixels, static_cast<int>(side * 0.1));
}

}  // namespace

bool QrPanel::Set(const std::string& payload, const std::string& caption) {
    const QString text = payload.empty() ? QString() : QString::fromStdString(caption);
    if (payload == payload_ && text == caption_) return false;
    if (payload != payload_) {
        payload_ = payload;
        symbol_ = QrSymbol::Encode(payload);
        image_ = QImage();
        imageModulePixels_ = 0;
    }
    caption_ = text;
    return true;
}

QrPanel::Placement QrPanel::Place(const QRectF& area, QSize window, qreal ratio, bool alone) const {
    Placement placement;
    placement.text = area;
    if (empty()) return placement;
    const double shorter = std::min(window.width(), window.height());
    const double gap = std::round(shorter * kGapShare);
    const bool landscape = window.width() >= window.height();
    const int modules = symbol_ ? symbol_->sideWithQuietZone() : 0;
    // The room the code may take: beside the text (a column on the right, or a block at the
    // bottom), or all of the region when it is alone.
    const double wanted = shorter * (alone ? 0.7 : kShare);
    const auto captionFor = [&](double side) {
        return caption_.isEmpty() ? 0.0 : CaptionPixels(side) * 1.4;
    };
    // Never cut: the region bounds it (the regions leave the text at least 74% of the
    // height, so kLeastShare always fits).
    const double side =
        std::max(0.0, std::min({wanted, area.width(), area.height() - captionFor(wanted)}));
    // Whole device pixels a module: the side rounded to them, up when the room and a tenth
    // more of the share allow it (a small screen would otherwise lose up to a module's
    // pixels a module), else down.
    int modulePixels = 0;
    if (modules > 0) {
        const double room =
            std::min({area.width(), area.height() - captionFor(wanted), wanted + shorter * 0.1});
        modulePixels = static_cast<int>(std::ceil(side * ratio / modules));
        if (modulePixels * modules / ratio > room) --modulePixels;
        modulePixels = std::max(1, modulePixels);
    }
    const double codeSide = modules > 0 ? modulePixels * modules / ratio : 0.0;
    const double captionHeight = captionFor(codeSide > 0 ? codeSide : side);
    const double blockHeight = codeSide + (captionHeight > 0 ? captionHeight : 0);
    const double blockWidth = std::max(codeSide, caption_.isEmpty() ? 0.0 : side);

    QPointF at;
    if (alone) {
        at = QPointF(area.center().x() - blockWidth / 2, area.center().y() - blockHeight / 2);
        placement.text = QRectF();
    } else if (landscape) {
        at = QPointF(area.right() - blockWidth, area.center().y() - blockHeight / 2);
        placement.text = QRectF(area.left(), area.top(),
                                std::max(0.0, area.width() - blockWidth - gap), area.height());
    } else {
        at = QPointF(area.center().x() - blockWidth / 2, area.bottom() - blockHeight);
        placement.text = QRectF(area.left(), area.top(), area.width(),
                                std::max(0.0, area.height() - blockHeight - gap));
    }
    // On whole device pixels, so that each module is whole pixels.
    const auto snap = [ratio](double v) { return std::round(v * ratio) / ratio; };
    const double codeLeft = snap(at.x() + (blockWidth - codeSide) / 2);
    const double codeTop = snap(at.y());
    if (modules > 0) {
        placement.code =
            QRect(static_cast<int>(codeLeft), static_cast<int>(codeTop),
                  static_cast<int>(std::ceil(codeSide)), static_cast<int>(std::ceil(codeSide)));
        placement.modulePixels = modulePixels;
        placement.ratio = ratio;
    }
    if (!caption_.isEmpty())
        placement.caption = QRectF(at.x(), codeTop + codeSide, blockWidth, captionHeight);
    return placement;
}

void QrPanel::Paint(QPainter& painter, const Placement& placement, const QColor& colour) const {
    if (symbol_ && placement.modulePixels > 0) {
        if (imageModulePixels_ != placement.modulePixels) {
            image_ = QrImage(*symbol_, placement.modulePixels);  // dark on white
            imageModulePixels_ = placement.modulePixels;
        }
        // Device pixel for device pixel: never scaled, never smoothed.
        image_.setDevicePixelRatio(placement.ratio);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(placement.code.topLeft(), image_);
        painter.restore();
    }
    if (!caption_.isEmpty() && !placement.caption.isEmpty()) {
        QFont font = painter.font();
        int size = CaptionPixels(placement.caption.width());
        font.setPixelSize(size);
        while (size > 8 &&
               QFontMetricsF(font).horizontalAdvance(caption_) > placement.caption.width()) {
            size = std::max(8, size * 9 / 10);
            font.setPixelSize(size);
        }
        painter.save();
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(
            placement.caption, Qt::AlignHCenter | Qt::AlignVCenter,
            QFontMetricsF(font).elidedText(caption_, Qt::ElideRight, placement.caption.width()));
        painter.restore();
    }
}

}  // namespace display

#include "Screen.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace display {

namespace {

constexpr int kMarqueeFrameMs = 33;
constexpr double kMarqueePixelsPerSecond = 120.0;

QColor ToQColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// Dark colours get a light outline and light ones a dark outline, so that every palette
// colour stays readable on the black background (black text included).
QColor OutlineFor(const QColor& colour) {
    return colour.lightness() < 100 ? QColor(160, 160, 160) : QColor(0, 0, 0);
}

// The largest font, no taller than maxHeight, in which text fits within maxWidth.
QFont FittingFont(QFont font, const QString& text, double maxWidth, double maxHeight) {
    font.setPixelSize(std::max(8, static_cast<int>(maxHeight)));
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    if (width > maxWidth && width > 0) {
        font.setPixelSize(std::max(8, static_cast<int>(font.pixelSize() * maxWidth / width)));
    }
    return font;
}

}  // namespace

Screen::Screen(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("afficheur-display"));
    setAutoFillBackground(false);
    resize(800, 300);
    marquee_.setInterval(kMarqueeFrameMs);
    connect(&marquee_, &QTimer::timeout, this, [this] { update(); });
}

void Screen::Show(const Board& board) {
    const bool scrollChanged = board.scroll != board_.scroll;
    if (board.text != board_.text) textPathFor_ = QSize();
    board_ = board;
    text_ = QString::fromStdString(board.text);
    scroll_ = QString::fromStdString(board.scroll);
    registerName_ = QString::fromStdString(board.registerName);
    if (scrollChanged) {
        scrollClock_.start();
        marqueeFor_ = -1;
    }
    if (scroll_.isEmpty()) {
        marquee_.stop();
    } else if (!marquee_.isActive()) {
        marquee_.start();
    }
    update();
}

void Screen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::black);

    const double w = width();
    const double h = height();
    const double marqueeHeight = h * 0.2;
    const double cornerHeight = h * 0.1;

    if (!registerName_.isEmpty()) {
        QFont font = this->font();
        font.setPixelSize(std::max(8, static_cast<int>(cornerHeight * 0.8)));
        painter.setFont(font);
        painter.setPen(QColor(192, 192, 192));
        painter.drawText(QRectF(8, 4, w - 16, cornerHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         registerName_);
    }

    if (!text_.isEmpty()) {
        if (textPathFor_ != size()) {
            const QRectF area(16, cornerHeight, w - 32, h - cornerHeight - marqueeHeight);
            const QFont font = FittingFont(this->font(), text_, area.width(), area.height() * 0.7);
            const QFontMetricsF metrics(font);
            const double textWidth = metrics.horizontalAdvance(text_);
            const QPointF origin(area.center().x() - textWidth / 2,
                                 area.center().y() + (metrics.ascent() - metrics.descent()) / 2);
            textPath_ = QPainterPath();
            textPath_.addText(origin, font, text_);
            textOutline_ = std::max(1.0, font.pixelSize() / 30.0);
            textPathFor_ = size();
            ++layouts_;
        }
        const QColor colour = ToQColor(PaletteColour(board_.colour));
        painter.strokePath(textPath_, QPen(OutlineFor(colour), textOutline_));
        painter.fillPath(textPath_, colour);
    }

    if (!scroll_.isEmpty()) {
        const int pixelSize = std::max(8, static_cast<int>(marqueeHeight * 0.7));
        if (marqueeFor_ != pixelSize) {
            marqueeFont_ = this->font();
            marqueeFont_.setPixelSize(pixelSize);
            marqueeText_.setTextFormat(Qt::PlainText);
            marqueeText_.setText(scroll_);
            marqueeText_.prepare(QTransform(), marqueeFont_);
            marqueeFor_ = pixelSize;
            ++layouts_;
        }
        const QSizeF textSize = marqueeText_.size();
        const double travel = w + textSize.width();
        const double moved =
            std::fmod(scrollClock_.elapsed() * kMarqueePixelsPerSecond / 1000.0, travel);
        const QRectF band(0, h - marqueeHeight, w, marqueeHeight);
        painter.fillRect(band, QColor(24, 24, 24));
        painter.setFont(marqueeFont_);
        painter.setPen(QColor(255, 255, 0));
        painter.setClipRect(band);
        painter.drawStaticText(
            QPointF(w - moved, band.top() + (band.height() - textSize.height()) / 2), marqueeText_);
    }
}

OutputState Screen::Health() const {
    // A full-screen window hides while its monitor is away: it shows nothing then.
    const bool full = windowState().testFlag(Qt::WindowFullScreen);
    return {full ? "fullscreen" : "window",
            full && screen() ? screen()->name().toStdString() : std::string(), isVisible()};
}

}  // namespace display

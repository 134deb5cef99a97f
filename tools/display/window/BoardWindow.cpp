#include "BoardWindow.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

#include "board/Regions.h"

namespace display {

namespace {

constexpr int kMarqueeFrameMs = 33;
constexpr double kMarqueePixelsPerSecond = 120.0;

QColor ToQColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

}  // namespace

BoardWindow::BoardWindow(QWidget* parent)
    : QWidget(parent), textLayer_([this](TextLayer::Drawn drawn) {
          // From the layer's thread to the window's.
          QMetaObject::invokeMethod(
              this, [this, drawn = std::move(drawn)] { TakeText(drawn); }, Qt::QueuedConnection);
      }) {
    setWindowTitle(QStringLiteral("afficheur-display"));
    setAutoFillBackground(false);
    // The till keeps the keyboard: a barcode scanner types into whatever has the focus, so the
    // window never takes it, neither when it appears nor when it is clicked. Set before the
    // native window exists, which copies them.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    resize(800, 300);
    marquee_.setInterval(kMarqueeFrameMs);
    // Each frame of the marquee repaints its band only: the large text is drawn again only when
    // it or the window changes.
    connect(&marquee_, &QTimer::timeout, this, [this] {
        const int band = static_cast<int>(std::ceil(Layout().bandHeight)) + 1;
        update(0, height() - band, width(), band);
    });
}

void BoardWindow::Show(const Board& board) {
    const bool scrollChanged = board.scroll != board_.scroll;
    // A new text alone repaints only where the old and the new one are, once its image is
    // ready (TakeText).
    const bool onlyText =
        board.text != board_.text && board.total == board_.total && board.scroll == board_.scroll &&
        board.registerName == board_.registerName && board.colour == board_.colour &&
        board.qr == board_.qr && board.qrCaption == board_.qrCaption &&
        board.picture == board_.picture && board.pictureAlone == board_.pictureAlone &&
        !board.text.empty() && isVisible();
    const bool pictureChanged = board.picture != board_.picture;
    board_ = board;
    qr_.Set(board.qr, board.qrCaption);
    if (pictureChanged) {
        picture_ =
            board.picture.empty() || !pictureSource_ ? QByteArray() : pictureSource_(board.picture);
    }
    text_ = QString::fromStdString(board.text);
    total_ = QString::fromStdString(board.total);
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
    if (!ShowsLarge()) {
        asked_.reset();
        shown_ = {};
        textPixelSize_ = 0;
        textLines_.clear();
    } else {
        AskForText();
    }
    if (!onlyText) update();
}

Regions BoardWindow::Layout() const {
    // On whole pixels: the band's edge is a hairline that must not be blurred across two.
    Regions regions = RegionsFor(width(), height(), !registerName_.isEmpty(), !scroll_.isEmpty());
    regions.headerHeight = std::round(regions.headerHeight);
    regions.bandHeight = std::round(regions.bandHeight);
    regions.textTop = regions.headerHeight;
    regions.textHeight = height() - regions.headerHeight - regions.bandHeight;
    return regions;
}

bool BoardWindow::ShowsLarge() const {
    return !text_.isEmpty() || !total_.isEmpty() || !picture_.isEmpty();
}

QrPanel::Placement BoardWindow::TextPlacement() const {
    const Regions regions = Layout();
    const QRectF area(16, regions.textTop, width() - 32, regions.textHeight);
    return qr_.Place(area, size(), devicePixelRatioF(), text_.isEmpty() && total_.isEmpty());
}

TextLayer::Request BoardWindow::TextRequest() const {
    // Semibold, as the page draws its text.
    QFont text = font();
    text.setWeight(QFont::DemiBold);
    QRectF area = TextPlacement().text;
    QRectF pictureArea;
    const bool alone = board_.pictureAlone || (text_.isEmpty() && total_.isEmpty());
    if (!picture_.isEmpty()) {
        // The logo above the text, a picture in its place.
        pictureArea =
            alone ? area
                  : QRectF(area.left(), area.top(), area.width(), area.height() * kLogoShare);
        if (!alone) area.setTop(pictureArea.bottom());
    }
    const bool textShows = picture_.isEmpty() || !board_.pictureAlone;
    return {textShows ? text_ : QString(),
            textShows ? total_ : QString(),
            text,
            area,
            devicePixelRatioF(),
            ToQColor(PaletteColour(ColourIndex())),
            picture_,
            pictureArea};
}

void BoardWindow::AskForText() {
    if (!ShowsLarge()) return;
    TextLayer::Request request = TextRequest();
    if (asked_ == request) return;
    asked_ = request;
    textLayer_.Draw(std::move(request));
}

bool BoardWindow::TextDrawn() const {
    return !ShowsLarge() || (asked_ && shown_.request == *asked_);
}

QRect BoardWindow::PictureShown() const {
    if (!ShowsLarge() || shown_.picture.isNull()) return {};
    return QRectF(shown_.pictureAt,
                  QSizeF(shown_.picture.size()) / shown_.picture.devicePixelRatio())
        .toAlignedRect();
}

void BoardWindow::TakeText(const TextLayer::Drawn& drawn) {
    if (drawn.laidOut) ++layouts_;
    if (!asked_ || drawn.request != *asked_) return;  // a newer request is on its way
    const QRect before = shown_.Covered();
    shown_ = drawn;
    textPixelSize_ = drawn.pixelSize;
    textLines_ = drawn.lines;
    // Painted now: the customer sees the text as soon as it is drawn.
    repaint(before | shown_.Covered());
}

void BoardWindow::ShowLinkLost(bool lost, const QString& waitingFor) {
    if (!lost) everLinked_ = true;
    linkLost_ = lost;
    waitingFor_ = waitingFor;
    update();
}

void BoardWindow::ShowPairing(const QString& url) {
    if (pairing_.Set(url)) update();
}

PairingCorner::Placement BoardWindow::PairingPlacement() const {
    if (pairing_.empty() || !board_.qr.empty()) return {};
    return pairing_.Place(size(), Layout().bandHeight, devicePixelRatioF());
}

int BoardWindow::ColourIndex() const {
    return IsPaletteIndex(board_.colour) ? board_.colour : 15;
}

void BoardWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Every part in the board's colour, on its backdrop: black, or white behind the colours
    // too dark to read on black.
    const Rgb rgb = PaletteColour(ColourIndex());
    const QColor colour = ToQColor(rgb);
    const QColor backdrop = ToQColor(Backdrop(rgb));
    painter.fillRect(rect(), backdrop);

    const double w = width();
    const double h = height();
    const Regions regions = Layout();
    const double marqueeHeight = regions.bandHeight;

    if (!registerName_.isEmpty()) {
        // The header: as large as its height allows, shrunk to fit the width before it is cut.
        QFont font = this->font();
        const QRectF header(8, 0, w - 16, regions.headerHeight);
        int size = std::max(8, static_cast<int>(header.height() * 0.75));
        font.setPixelSize(size);
        while (size > 8 && QFontMetricsF(font).horizontalAdvance(registerName_) > header.width()) {
            size = std::max(8, size * 9 / 10);
            font.setPixelSize(size);
        }
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(
            header, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetricsF(font).elidedText(registerName_, Qt::ElideRight, header.width()));
    }

    if (ShowsLarge()) {
        AskForText();  // a new size, or a new screen's pixel ratio
        // The images shown until the next are ready, which may be of the text before.
        if (!shown_.picture.isNull()) painter.drawImage(shown_.pictureAt, shown_.picture);
        if (!shown_.image.isNull()) painter.drawImage(shown_.at, shown_.image, shown_.part);
    }
    if (!qr_.empty()) qr_.Paint(painter, TextPlacement(), colour);

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
        // The band's edge, a hairline in the board's colour.
        painter.fillRect(QRectF(band.left(), band.top(), band.width(), 1), colour);
        painter.setFont(marqueeFont_);
        painter.setPen(colour);
        painter.setClipRect(band);
        painter.drawStaticText(
            QPointF(w - moved, band.top() + (band.height() - textSize.height()) / 2), marqueeText_);
        painter.setClipping(false);
    }

    if (const auto corner = PairingPlacement(); corner.modulePixels > 0)
        pairing_.Paint(painter, corner);

    if (linkLost_) {
        // The page's mark: a small dark red dot in the top-right corner.
        const double dot = std::max(8.0, h * 0.016);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x7a, 0x20, 0x20, 204));
        painter.drawEllipse(QRectF(w - w * 0.012 - dot, h * 0.012, dot, dot));
        if (!everLinked_) {
            QFont font = this->font();
            font.setPixelSize(std::max(10, static_cast<int>(h * 0.035)));
            painter.setFont(font);
            painter.setPen(QColor(0x80, 0x80, 0x80));
            painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                             QStringLiteral("waiting for %1").arg(waitingFor_));
        }
    }
}

OutputState BoardWindow::Health() const {
    // A full-screen window hides while its monitor is away: it shows nothing then.
    const bool full = windowState().testFlag(Qt::WindowFullScreen);
    return {full ? "fullscreen" : "window",
            full && screen() ? screen()->name().toStdString() : std::string(), isVisible()};
}

}  // namespace display

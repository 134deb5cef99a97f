#include "client/CaptionStrip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <QWindow>
#include <algorithm>

namespace client {
namespace {

constexpr int kTitleMargin = 4;
constexpr int kMarkPixels = 14;

enum class Glyph { Minimize, Restore, Close };

// A caption button whose mark is drawn in the caption's own text colour, as the title is, so
// it reads on the active caption's highlight as well as on the inactive grey (the style's
// stock icons are grey whatever is behind them).
class CaptionButton final : public QToolButton {
  public:
    CaptionButton(CaptionStrip& strip, Glyph glyph)
        : QToolButton(&strip), strip_(strip), glyph_(glyph) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);  // the hover and press panel
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int side = std::max(6, (std::min(width(), height()) * 2) / 5);
        const QRectF box(QPointF((width() - side) / 2.0, (height() - side) / 2.0),
                         QSizeF(side, side));
        QPen pen(strip_.TextColour(), side >= 10 ? 2.0 : 1.5);
        pen.setCapStyle(Qt::SquareCap);
        painter.setPen(pen);
        switch (glyph_) {
            case Glyph::Minimize:
                painter.drawLine(box.bottomLeft(), box.bottomRight());
                break;
            case Glyph::Restore: {
                const qreal step = side / 4.0;
                painter.drawRect(box.adjusted(0, step, -step, 0));
                painter.drawPolyline(QPolygonF({box.topLeft() + QPointF(step, step),
                                                box.topLeft() + QPointF(step, 0), box.topRight(),
                                                box.bottomRight() - QPointF(0, step),
                                                box.bottomRight() - QPointF(step, step)}));
                break;
            }
            case Glyph::Close:
                painter.drawLine(box.topLeft(), box.bottomRight());
                painter.drawLine(box.topRight(), box.bottomLeft());
                break;
        }
    }

  private:
    CaptionStrip& strip_;
    Glyph glyph_;
};

}  // namespace

CaptionStrip::CaptionStrip(QWidget& window) : QWidget(&window), window_(window) {
    setObjectName("Caption");
    mark_ = new StatusMark(this);
    minimize_ = Button("Minimize", "Minimize", static_cast<int>(Glyph::Minimize));
    restore_ = Button("Restore", "Restore", static_cast<int>(Glyph::Restore));
    close_ = Button("Close", "Close", static_cast<int>(Glyph::Close));
    connect(minimize_, &QToolButton::clicked, &window_, &QWidget::showMinimized);
    connect(restore_, &QToolButton::clicked, &window_, &QWidget::showNormal);
    connect(close_, &QToolButton::clicked, &window_, &QWidget::close);
    FollowWindow();
}

QToolButton* CaptionStrip::Button(const char* name, const char* tip, int glyph) {
    auto* button = new CaptionButton(*this, static_cast<Glyph>(glyph));
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

bool CaptionStrip::Active() const {
    return window_.isActiveWindow();
}

QColor CaptionStrip::BackColour() const {
    const QPalette::ColorGroup group = Active() ? QPalette::Active : QPalette::Inactive;
    return palette().color(group, Active() ? QPalette::Highlight : QPalette::Mid);
}

QColor CaptionStrip::TextColour() const {
    const QPalette::ColorGroup group = Active() ? QPalette::Active : QPalette::Inactive;
    return palette().color(group, Active() ? QPalette::HighlightedText : QPalette::WindowText);
}

void CaptionStrip::FollowWindow() {
    restore_->setVisible(window_.isMaximized());
    LayOut();
    update();
}

void CaptionStrip::LayOut() {
    // From the right: close, restore (while maximized), minimize, then the status mark.
    const int size = height();
    int right = width();
    for (QToolButton* button : {close_, restore_, minimize_}) {
        if (button->isHidden()) continue;
        right -= size;
        button->setGeometry(right, 0, size, size);
    }
    right -= kMarkPixels;
    mark_->setGeometry(right, 0, kMarkPixels, size);
}

void CaptionStrip::resizeEvent(QResizeEvent*) {
    LayOut();
}

void CaptionStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BackColour());
    painter.setPen(TextColour());
    const int textRight = mark_->geometry().left();
    painter.drawText(QRect(kTitleMargin, 0, std::max(0, textRight - kTitleMargin), height()),
                     Qt::AlignVCenter | Qt::AlignLeft, window_.windowTitle());
}

void CaptionStrip::mousePressEvent(QMouseEvent* event) {
    pressedAt_.reset();
    if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void CaptionStrip::mouseMoveEvent(QMouseEvent* event) {
    // The strip moves the window, as a window manager's title bar would.
    QWindow* native = window_.windowHandle();
    if (pressedAt_ && (event->buttons() & Qt::LeftButton) && native != nullptr &&
        !window_.isMaximized() &&
        (event->position().toPoint() - *pressedAt_).manhattanLength() >=
            QApplication::startDragDistance()) {
        pressedAt_.reset();
        native->startSystemMove();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CaptionStrip::mouseDoubleClickEvent(QMouseEvent* event) {
    pressedAt_.reset();
    if (event->button() == Qt::LeftButton) {
        ToggleMaximized();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CaptionStrip::ToggleMaximized() {
    if (window_.isMaximized()) {
        window_.showNormal();
    } else {
        window_.showMaximized();
    }
}

}  // namespace client

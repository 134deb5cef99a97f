#include "client/CaptionStrip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWindow>

namespace client {
namespace {

constexpr int kTitleMargin = 4;
constexpr int kMarkPixels = 14;

}  // namespace

CaptionStrip::CaptionStrip(QWidget& window) : QWidget(&window), window_(window) {
    setObjectName("Caption");
    mark_ = new StatusMark(this);
    minimize_ = Button("Minimize", "Minimize", QStyle::SP_TitleBarMinButton);
    restore_ = Button("Restore", "Restore", QStyle::SP_TitleBarNormalButton);
    close_ = Button("Close", "Close", QStyle::SP_TitleBarCloseButton);
    connect(minimize_, &QToolButton::clicked, &window_, &QWidget::showMinimized);
    connect(restore_, &QToolButton::clicked, &window_, &QWidget::showNormal);
    connect(close_, &QToolButton::clicked, &window_, &QWidget::close);
    FollowWindow();
}

QToolButton* CaptionStrip::Button(const char* name, const char* tip, int icon) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setToolTip(tip);
    return button;
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
    const QPalette::ColorGroup group =
        window_.isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    const bool active = group == QPalette::Active;
    // The usual title bar colours: the highlight while active, a neutral shade otherwise.
    painter.fillRect(rect(), palette().color(group, active ? QPalette::Highlight : QPalette::Mid));
    painter.setPen(
        palette().color(group, active ? QPalette::HighlightedText : QPalette::WindowText));
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

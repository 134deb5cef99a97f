#include "host/QtForm.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <limits>

#include "common/Error.h"
#include "host/Window.h"

namespace host {
namespace {

// Beyond this a bound cannot be a window's (Qt's own limit is 2^24 - 1 pixels).
constexpr double kMaxPixels = 16777215.0;

double CheckedPixels(float twips, bool mayBeNegative, const std::string& source) {
    const double pixels = static_cast<double>(twips) / kTwipsPerPixel;
    if (!std::isfinite(pixels) || std::fabs(pixels) > kMaxPixels ||
        (!mayBeNegative && pixels < 0)) {
        throw Error(kErrInvalidPropertyValue, source, "Invalid property value");
    }
    return pixels;
}

// The available areas of every screen, in logical pixels.
QList<QRect> AvailableAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.push_back(screen->availableGeometry());
    return areas;
}

// How far the area lies from the rectangle's centre (0 when the centre is inside).
int64_t Distance(const QRect& area, const QPoint& centre) {
    const int64_t dx = std::max({area.left() - centre.x(), 0, centre.x() - area.right()});
    const int64_t dy = std::max({area.top() - centre.y(), 0, centre.y() - area.bottom()});
    return dx * dx + dy * dy;
}

}  // namespace

QRect ReachableBounds(const QRect& bounds, int captionPixels, const QList<QRect>& screens) {
    if (screens.isEmpty()) return bounds;
    const QRect strip(bounds.left(), bounds.top(), bounds.width(), captionPixels);
    const int grab = std::min(kGrabPixels, strip.width());
    for (const QRect& area : screens) {
        const QRect shown = strip.intersected(area);
        if (shown.height() == strip.height() && shown.width() >= grab && !shown.isEmpty()) {
            return bounds;
        }
    }
    const QPoint centre = bounds.center();
    const QRect& area = *std::ranges::min_element(
        screens, {}, [&centre](const QRect& screen) { return Distance(screen, centre); });
    const int width = std::min(bounds.width(), area.width());
    const int height = std::min(bounds.height(), area.height());
    const int left = std::clamp(bounds.left(), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(bounds.top(), area.top(), area.top() + area.height() - height);
    return QRect(left, top, width, height);
}

int ToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
float ToTwips(int pixels) {
    return static_cast<float>(pixels) * kTwipsPerPixel;
}

float QtForm::Left() const {
    return ToTwips(window_.frameGeometry().x());
}
float QtForm::Top() const {
    return ToTwips(window_.frameGeometry().y());
}
float QtForm::Width() const {
    return ToTwips(window_.frameGeometry().width());
}
float QtForm::Height() const {
    return ToTwips(window_.frameGeometry().height());
}

void QtForm::RequireNormalState(const char* operation) const {
    if (WindowState() != kStateNormal) {
        throw Error(kErrCantMoveMinMax, Name() + "." + operation,
                    "A form can't be moved or sized while minimized or maximized");
    }
}

void QtForm::SetHeight(float twips) {
    const double pixels = CheckedPixels(twips, false, Name() + ".Height");
    RequireNormalState("Height");
    const int decorations = window_.frameGeometry().height() - window_.height();
    const int client = std::max(0, static_cast<int>(std::lround(pixels)) - decorations);
    window_.resize(window_.width(), client);
}

void QtForm::Move(float left, float top, float width, float height) {
    const std::string source = Name() + ".Move";
    const double x = CheckedPixels(left, true, source);
    const double y = CheckedPixels(top, true, source);
    const double w = CheckedPixels(width, false, source);
    const double h = CheckedPixels(height, false, source);
    RequireNormalState("Move");
    const QRect frame = window_.frameGeometry();
    const int decorationsX = frame.width() - window_.width();
    const int decorationsY = frame.height() - window_.height();
    QRect bounds(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)),
                 static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h)));
    // The strip is judged at the width the window will really have.
    bounds.setWidth(std::max(bounds.width(), window_.minimumWidth() + decorationsX));
    if (captionPixels_ > 0) bounds = ReachableBounds(bounds, captionPixels_, AvailableAreas());
    // For a top-level widget, move() places the outer frame and resize() sizes the client.
    window_.move(bounds.topLeft());
    window_.resize(std::max(0, bounds.width() - decorationsX),
                   std::max(0, bounds.height() - decorationsY));
}

int16_t QtForm::WindowState() const {
    const Qt::WindowStates state = window_.windowState();
    if (state & Qt::WindowMinimized) return kStateMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) return kStateMaximized;
    return kStateNormal;
}

void QtForm::SetWindowState(int16_t code) {
    const Qt::WindowStates others =
        window_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (code) {
        case kStateNormal:
            window_.setWindowState(others & ~Qt::WindowFullScreen);
            return;
        case kStateMinimized:
            window_.setWindowState(window_.windowState() | Qt::WindowMinimized);
            return;
        case kStateMaximized:
            window_.setWindowState(others | Qt::WindowMaximized);
            return;
        default:
            throw Error(kErrInvalidPropertyValue, Name() + ".WindowState",
                        "Invalid property value");
    }
}

uint32_t QtForm::hWnd() const {
    return WindowHandle(window_);
}

}  // namespace host

#pragma once
// host::Form over a Qt top-level widget. Bounds are the outer frame (decorations included,
// as the window manager reports them), 15 twips per logical pixel. The adapter does not own
// the widget, which must outlive it. User-interface thread only.
//
// A window that draws its own caption strip names its height: a move that would leave no
// screen showing enough of the strip to grab it brings the window onto the nearest screen
// instead, so that a record saved under another screen layout never puts it out of reach.

#include <QWidget>

#include "host/Form.h"

namespace host {

class QtForm final : public Form {
  public:
    // captionPixels: the height of the strip at the window's top by which it is moved (its
    // own caption), or 0 to apply every move as asked.
    explicit QtForm(QWidget& window, int captionPixels = 0)
        : window_(window), captionPixels_(captionPixels) {}
    QtForm(const QtForm&) = delete;
    QtForm& operator=(const QtForm&) = delete;

    float Left() const override;
    float Top() const override;
    float Width() const override;
    float Height() const override;

    // The client height becomes the outer height less the decorations the window manager
    // reports at that moment. Error 384 while minimized or maximized, Error 380 for a
    // negative or non-finite height; nothing changes then.
    void SetHeight(float twips) override;
    // Outer bounds in one operation; same refusals as SetHeight. With a caption strip, bounds
    // that show none of it on any screen (ReachableBounds) are moved onto the nearest one.
    void Move(float left, float top, float width, float height) override;

    int16_t WindowState() const override;
    // Error 380 for a code other than 0, 1 and 2. On a hidden window the state is kept and
    // applies when the window is shown.
    void SetWindowState(int16_t code) override;

    bool Visible() const override { return window_.isVisible(); }
    // The widget's object name.
    std::string Name() const override { return window_.objectName().toStdString(); }
    // The native window id once the window exists, else 0.
    uint32_t hWnd() const override;

    QWidget& widget() const { return window_; }

  private:
    // Refuses a move or resize while the window is not in the normal state.
    void RequireNormalState(const char* operation) const;

    QWidget& window_;
    int captionPixels_;
};

// Where a window with these outer bounds (logical pixels) and a caption strip of that height
// stays within reach. Returned unchanged when some screen's available area shows a piece of
// the strip at least kGrabPixels wide (or the whole strip, when narrower) over its full
// height. Otherwise the bounds are moved onto the screen nearest to them: the size is kept
// but held to that screen's available area, and so is the place. Unchanged when there are
// no screens.
inline constexpr int kGrabPixels = 32;
QRect ReachableBounds(const QRect& bounds, int captionPixels, const QList<QRect>& screens);

// Twips to whole logical pixels (rounded to nearest) and back.
int ToPixels(double twips);
float ToTwips(int pixels);

}  // namespace host

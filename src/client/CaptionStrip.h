#pragma once
// The caption strip of a window that draws its own frame: the title, the display link's
// status mark, and the minimize, restore and close buttons, as a window manager's title bar
// would give them. Dragging the strip moves the window (once the pointer has moved past the
// drag distance, so that clicks and double-clicks stay the strip's own); a double-click on it
// maximizes the window or brings it back to normal, and the restore button (shown only while the
// window is maximized) does the latter in one click. The strip is painted in the palette's active
// or inactive highlight colours as the window is active or not. User-interface thread only.

#include <QColor>
#include <QToolButton>
#include <QWidget>
#include <optional>

#include "client/StatusMark.h"

namespace client {

class CaptionStrip final : public QWidget {
  public:
    // A strip inside `window`, which it minimizes, maximizes, restores and closes.
    explicit CaptionStrip(QWidget& window);

    // Follows the window's state: the restore button shows only while it is maximized.
    // Call after every state change and resize of the window.
    void FollowWindow();
    StatusMark& Mark() { return *mark_; }

    // The usual title bar colours: the highlight and its text while the window is active, a
    // neutral shade and the window text otherwise. The title and the buttons' marks use both.
    QColor BackColour() const;
    QColor TextColour() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QToolButton* Button(const char* name, const char* tip, int glyph);
    bool Active() const;
    void ToggleMaximized();
    void LayOut();

    QWidget& window_;
    StatusMark* mark_ = nullptr;
    QToolButton* minimize_ = nullptr;
    QToolButton* restore_ = nullptr;
    QToolButton* close_ = nullptr;
    std::optional<QPoint> pressedAt_;  // where the left button went down on the strip
};

}  // namespace client

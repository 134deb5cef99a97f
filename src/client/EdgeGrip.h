#pragma once
// A thin grip along the left or right edge of a window that draws its own frame: pressing it
// lets the window manager change the window's width (QWindow::startSystemResize), as a
// window manager's own frame would. User-interface thread only.

#include <QWidget>

namespace client {

class EdgeGrip final : public QWidget {
  public:
    // A grip inside `window` for its left or right edge (Qt::LeftEdge or Qt::RightEdge).
    EdgeGrip(QWidget& window, Qt::Edge edge);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    Qt::Edge edge_;
};

}  // namespace client

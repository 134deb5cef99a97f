#include "client/EdgeGrip.h"

#include <QMouseEvent>
#include <QWindow>

namespace client {

EdgeGrip::EdgeGrip(QWidget& window, Qt::Edge edge) : QWidget(&window), edge_(edge) {
    setObjectName(edge == Qt::LeftEdge ? "LeftEdge" : "RightEdge");
    setCursor(Qt::SizeHorCursor);
    setFocusPolicy(Qt::NoFocus);
}

void EdgeGrip::mousePressEvent(QMouseEvent* event) {
    QWindow* native = window()->windowHandle();
    if (event->button() == Qt::LeftButton && native != nullptr &&
        window()->windowState() == Qt::WindowNoState) {
        native->startSystemResize(edge_);
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace client

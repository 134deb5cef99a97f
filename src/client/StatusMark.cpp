#include "client/StatusMark.h"

#include <QPainter>

namespace client {
namespace {

constexpr int kDotPixels = 8;
const QColor kDelivered(46, 160, 67);
const QColor kFailed(211, 47, 47);

}  // namespace

StatusMark::StatusMark(QWidget* parent) : QWidget(parent) {
    setObjectName("LinkStatus");
    setToolTip("No message sent to the display yet");
}

void StatusMark::Show(bool delivered, const std::string& words) {
    status_ = delivered ? Status::Delivered : Status::Failed;
    setToolTip(QString::fromStdString(words));
    update();
}

QColor StatusMark::colour() const {
    switch (status_) {
        case Status::Delivered:
            return kDelivered;
        case Status::Failed:
            return kFailed;
        case Status::None:
            break;
    }
    return palette().color(QPalette::Mid);
}

void StatusMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Shadow), 1));
    painter.setBrush(colour());
    const QRectF dot((width() - kDotPixels) / 2.0, (height() - kDotPixels) / 2.0, kDotPixels,
                     kDotPixels);
    painter.drawEllipse(dot);
}

}  // namespace client

#include "TextLayer.h"

#include <QPainter>

#include <utility>

#include "TextFit.h"

namespace display {

TextLayer::TextLayer(Done done)
    : done_(std::move(done)), thread_([this](const std::stop_token& stop) { Run(stop); }) {}

TextLayer::~TextLayer() {
    thread_.request_stop();
    thread_.join();
}

void TextLayer::Draw(Request request) {
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(request);
    }
    changed_.notify_all();
}

void TextLayer::Run(const std::stop_token& stop) {
    // The last fit, kept for a request that changes only the colour.
    std::optional<Request> fittedFor;
    TextShape shape;
    std::unique_lock lock(mutex_);
    while (changed_.wait(lock, stop, [this] { return waiting_.has_value(); })) {
        Request request = std::move(*waiting_);
        waiting_.reset();
        lock.unlock();

        Drawn drawn;
        drawn.laidOut = !fittedFor || fittedFor->text != request.text ||
                        fittedFor->font != request.font || fittedFor->area != request.area;
        if (drawn.laidOut) {
            shape = FitText(request.font, request.text, request.area);
            fittedFor = request;
        }
        drawn.pixelSize = shape.pixelSize;
        drawn.lines = static_cast<int>(shape.lines.size());
        const QRect covered = shape.Bounds().toAlignedRect().adjusted(-2, -2, 2, 2);
        drawn.at = covered.topLeft();
        drawn.image = QImage(covered.size() * request.ratio, QImage::Format_ARGB32_Premultiplied);
        drawn.image.setDevicePixelRatio(request.ratio);
        drawn.image.fill(Qt::transparent);
        {
            QPainter painter(&drawn.image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(-covered.topLeft());
            painter.setFont(shape.font);
            painter.setPen(request.colour);
            for (const TextShape::Run& run : shape.runs)
                painter.drawText(run.at, run.text);
        }
        drawn.request = std::move(request);
        done_(std::move(drawn));

        lock.lock();
    }
}

}  // namespace display

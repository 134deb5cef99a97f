#include "TextLayer.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "TextFit.h"

namespace display {

namespace {

// Each glyph of the shape's runs as FreeType renders it, and where its image goes. Drawing these
// is five times faster than the painter's own text drawing at large sizes, which fills each
// glyph's outline (64 px and more are not cached).
struct PlacedGlyph {
    QPointF at;  // the image's top-left
    QImage alpha;
};

std::vector<PlacedGlyph> PlaceGlyphs(const TextShape& shape) {
    std::vector<PlacedGlyph> glyphs;
    for (const TextShape::Run& run : shape.runs) {
        QTextLayout layout(run.text, shape.font);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        if (!line.isValid()) continue;
        const QPointF origin(run.at.x(), run.at.y() - line.ascent());
        for (const QGlyphRun& glyphRun : layout.glyphRuns()) {
            const QRawFont raw = glyphRun.rawFont();
            const QList<quint32> indexes = glyphRun.glyphIndexes();
            const QList<QPointF> positions = glyphRun.positions();
            for (qsizetype g = 0; g < indexes.size() && g < positions.size(); ++g) {
                glyphs.push_back({origin + positions[g] + raw.boundingRect(indexes[g]).topLeft(),
                                  raw.alphaMapForGlyph(indexes[g], QRawFont::PixelAntialiasing)});
            }
        }
    }
    return glyphs;
}

// The mask in colour: each pixel the colour at the mask's coverage, premultiplied. A plain
// loop: the painter's composition with an alpha-only image takes twice as long.
QImage Coloured(const QImage& mask, const QColor& colour) {
    QImage image(mask.size(), QImage::Format_ARGB32_Premultiplied);
    const QRgb full = colour.rgba();
    const auto part = [](int channel, int alpha) { return (channel * alpha + 127) / 255; };
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* alpha = mask.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < mask.width(); ++x) {
            const int a = alpha[x];
            out[x] =
                a == 0 ? 0
                       : qRgba(part(qRed(full), a), part(qGreen(full), a), part(qBlue(full), a), a);
        }
    }
    return image;
}

}  // namespace

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
    std::unique_lock lock(mutex_);
    while (changed_.wait(lock, stop, [this] { return waiting_.has_value(); }) &&
           !stop.stop_requested()) {  // a text still waiting at the end is not drawn
        Request request = std::move(*waiting_);
        waiting_.reset();
        lock.unlock();
        done_(Render(std::move(request)));
        lock.lock();
    }
}

TextLayer::Drawn TextLayer::Render(Request request) {
    Drawn drawn;
    drawn.laidOut = !fittedFor_ || fittedFor_->text != request.text ||
                    fittedFor_->font != request.font || fittedFor_->area != request.area;
    if (drawn.laidOut) {
        shape_ = FitText(request.font, request.text, request.area);
        fittedFor_ = request;
    }
    drawn.pixelSize = shape_.pixelSize;
    drawn.lines = shape_.lines;
    if (request.ratio == 1) {
        // The image covers the glyphs' own pixels: a glyph's ink may pass its advance (the arm
        // of a large "r").
        const std::vector<PlacedGlyph> glyphs = PlaceGlyphs(shape_);
        QRect covered;
        for (const PlacedGlyph& glyph : glyphs)
            covered |= QRectF(glyph.at, glyph.alpha.size()).toAlignedRect();
        drawn.at = covered.topLeft();
        if (!covered.isEmpty()) {  // blanks alone have no pixels, and no image
            QImage mask(covered.size(), QImage::Format_Alpha8);
            mask.fill(0);
            {
                QPainter painter(&mask);
                painter.translate(-covered.topLeft());
                for (const PlacedGlyph& glyph : glyphs)
                    painter.drawImage(glyph.at, glyph.alpha);
            }
            drawn.image = Coloured(mask, request.colour);
        }
    } else {
        // A high-density screen: the painter's own text drawing, scaled, with room for ink
        // past the glyphs' advances.
        const int overhang = std::max(2, shape_.pixelSize / 4);
        const QRect covered =
            shape_.Bounds().toAlignedRect().adjusted(-overhang, -overhang, overhang, overhang);
        drawn.at = covered.topLeft();
        drawn.image = QImage(covered.size() * request.ratio, QImage::Format_ARGB32_Premultiplied);
        drawn.image.setDevicePixelRatio(request.ratio);
        drawn.image.fill(Qt::transparent);
        QPainter painter(&drawn.image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-covered.topLeft());
        painter.setFont(shape_.font);
        painter.setPen(request.colour);
        for (const TextShape::Run& run : shape_.runs)
            painter.drawText(run.at, run.text);
    }
    drawn.request = std::move(request);
    return drawn;
}

}  // namespace display

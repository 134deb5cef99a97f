#include "TextLayer.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <array>
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
        QTextLayout layout(run.text, run.font.value_or(shape.font));
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

// The text's pixels: the colour, premultiplied, at each coverage from 0 to 255.
std::array<QRgb, 256> ColourTable(const QColor& colour) {
    std::array<QRgb, 256> table{};
    const QRgb full = colour.rgba();
    const auto part = [](int channel, int alpha) { return (channel * alpha + 127) / 255; };
    for (int a = 0; a < 256; ++a)
        table[a] = qRgba(part(qRed(full), a), part(qGreen(full), a), part(qBlue(full), a), a);
    return table;
}

// Adds a glyph's coverage (one byte a pixel) into the image at `at`, over the glyph's own box,
// in the colour the table gives: coverage a over b gives a + b - ab. One pass over the glyphs'
// pixels alone (the painter's composition with an alpha-only image takes several times as
// long).
void AddGlyph(QImage& image, QImage alpha, QPoint at, const std::array<QRgb, 256>& colour) {
    if (alpha.format() != QImage::Format_Alpha8 && alpha.format() != QImage::Format_Indexed8 &&
        alpha.format() != QImage::Format_Grayscale8) {
        alpha = alpha.convertToFormat(QImage::Format_Alpha8);  // a colour glyph: its alpha
    }
    const QRect box = QRect(at, alpha.size()) & image.rect();
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const uchar* from = alpha.constScanLine(y - at.y()) + (box.left() - at.x());
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y)) + box.left();
        for (int x = 0; x < box.width(); ++x) {
            const int a = from[x];
            if (a == 0) continue;
            const int b = qAlpha(to[x]);
            to[x] = colour[static_cast<std::size_t>(a + b - (a * b + 127) / 255)];
        }
    }
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

QRect TextLayer::Drawn::Covered() const {
    QRect covered =
        QRectF(at, QSizeF(part.size()) / std::max(1.0, image.devicePixelRatio())).toAlignedRect();
    if (image.isNull()) covered = QRect();
    if (!picture.isNull())
        covered |=
            QRectF(pictureAt, QSizeF(picture.size()) / picture.devicePixelRatio()).toAlignedRect();
    return covered;
}

QImage TextLayer::FitPicture(const Request& request, QPoint* at) {
    if (request.picture.isEmpty() || request.pictureArea.isEmpty()) return {};
    if (request.picture != decodedFrom_) {
        decoded_ = QImage::fromData(request.picture);
        decodedFrom_ = request.picture;
        fitted_ = {};
    }
    if (decoded_.isNull()) return {};
    const QSizeF room = request.pictureArea.size() * request.ratio;
    const QSize size = decoded_.size().scaled(room.toSize(), Qt::KeepAspectRatio);
    if (fitted_.size() != size || fitted_.devicePixelRatio() != request.ratio) {
        fitted_ = decoded_.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        fitted_.setDevicePixelRatio(request.ratio);
    }
    const QSizeF shown = QSizeF(fitted_.size()) / request.ratio;
    *at = QPointF(request.pictureArea.center().x() - shown.width() / 2,
                  request.pictureArea.center().y() - shown.height() / 2)
              .toPoint();
    return fitted_;
}

TextLayer::Drawn TextLayer::Render(Request request) {
    Drawn drawn;
    drawn.picture = FitPicture(request, &drawn.pictureAt);
    if (request.text.isEmpty() && request.total.isEmpty()) {  // a picture alone
        drawn.request = std::move(request);
        return drawn;
    }
    drawn.laidOut = !fittedFor_ || fittedFor_->text != request.text ||
                    fittedFor_->total != request.total || fittedFor_->font != request.font ||
                    fittedFor_->area != request.area;
    if (drawn.laidOut) {
        shape_ = FitText(request.font, request.text, request.area, request.total);
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
            covered |= QRect(glyph.at.toPoint(), glyph.alpha.size());
        drawn.at = covered.topLeft();
        if (!covered.isEmpty()) {  // blanks alone have no pixels, and no image
            const std::array<QRgb, 256> colour = ColourTable(request.colour);
            QImage& canvas = Canvas(covered.size());
            for (const PlacedGlyph& glyph : glyphs)
                AddGlyph(canvas, glyph.alpha, glyph.at.toPoint() - covered.topLeft(), colour);
            drawn.image = canvas;  // shared with the window from here on
            drawn.part = QRect(QPoint(0, 0), covered.size());
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
        drawn.part = drawn.image.rect();
        QPainter painter(&drawn.image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-covered.topLeft());
        painter.setPen(request.colour);
        for (const TextShape::Run& run : shape_.runs) {
            painter.setFont(run.font.value_or(shape_.font));
            painter.drawText(run.at, run.text);
        }
    }
    drawn.request = std::move(request);
    return drawn;
}

QImage& TextLayer::Canvas(QSize size) {
    QImage* canvas = nullptr;
    for (QImage& spare : canvases_) {
        if (spare.isNull() || !spare.isDetached()) continue;  // the window holds it
        if (spare.width() >= size.width() && spare.height() >= size.height()) {
            canvas = &spare;
            break;
        }
        if (canvas == nullptr) canvas = &spare;  // free, but too small
    }
    if (canvas == nullptr) {  // none free: an empty place, else the first (which is copied)
        const auto empty = std::find_if(canvases_.begin(), canvases_.end(),
                                        [](const QImage& spare) { return spare.isNull(); });
        canvas = empty != canvases_.end() ? &*empty : &canvases_.front();
    }
    if (canvas->isNull() || !canvas->isDetached() || canvas->width() < size.width() ||
        canvas->height() < size.height()) {
        // Grown to the largest asked for so far, so it serves the next texts too.
        *canvas = QImage(size.expandedTo(canvas->size()), QImage::Format_ARGB32_Premultiplied);
    }
    for (int y = 0; y < size.height(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(canvas->scanLine(y)), size.width(), QRgb(0));
    return *canvas;
}

}  // namespace display

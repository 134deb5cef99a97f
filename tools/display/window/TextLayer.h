#pragma once
// The window's large text drawn into an image on a thread of its own. Fitting a text to the
// window and filling its glyphs' outlines takes milliseconds under a software rasteriser, and
// far more for a long text, while the window's thread is also the one that takes the messages
// and feeds LCDd and the page: there it only puts the finished image on the screen. Even a
// short text is handed over: the window's thread meanwhile sends the message on to the other
// outputs (drawing it there first was slower, in bench_outputs). Only the newest request
// counts: one made while another is drawn replaces any that still waits. A request that changes
// only the colour draws the text again without fitting it again. A picture of the shop (its
// logo, or one of its pictures) is decoded and made to fit here too, once for each picture and
// size.

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "TextFit.h"

namespace display {

class TextLayer {
  public:
    struct Request {
        QString text;
        QString total;  // the sale's total and change due (see FitText)
        QFont font;
        QRectF area;      // where the text goes, in the window's coordinates
        qreal ratio = 1;  // device pixels per window pixel
        QColor colour;
        QByteArray picture;  // a PNG or JPEG to show (see Board::picture), or empty
        QRectF pictureArea;  // where it goes: as large as fits, its sides' ratio kept, centred
        bool operator==(const Request&) const = default;
    };
    struct Drawn {
        Request request;
        QImage image;  // the text's pixels on transparency: its part `part`, placed at `at`
        QRect part;
        QPoint at;
        int pixelSize = 0;
        QStringList lines;     // as laid out (TextShape::lines)
        bool laidOut = false;  // the text was fitted for this one (not only drawn again)
        QImage picture;        // the picture at its size on the screen, placed at pictureAt
        QPoint pictureAt;
        // Where the text's image and the picture are, in the window's coordinates.
        QRect Covered() const;
    };
    // Called on the layer's own thread with each image drawn.
    using Done = std::function<void(Drawn)>;

    explicit TextLayer(Done done);
    // Waits for the drawing under way.
    ~TextLayer();
    TextLayer(const TextLayer&) = delete;
    TextLayer& operator=(const TextLayer&) = delete;

    void Draw(Request request);

  private:
    void Run(const std::stop_token& stop);
    // Fits (unless only the colour changed) and draws.
    Drawn Render(Request request);
    // The request's picture decoded and made to fit its area; null when there is none, or it
    // cannot be decoded.
    QImage FitPicture(const Request& request, QPoint* at);
    // An image of at least size that the window no longer holds, its part of that size clear.
    QImage& Canvas(QSize size);

    const Done done_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::optional<Request> waiting_;
    // The last fit, kept for a request that changes only the colour; the thread's own.
    std::optional<Request> fittedFor_;
    TextShape shape_;
    // The last picture decoded, and made to fit: the thread's own.
    QByteArray decodedFrom_;
    QImage decoded_;
    QImage fitted_;
    // The images drawn into, kept for their memory: a fresh image of some megabytes costs a
    // page fault every 4 KiB, milliseconds in a virtual machine. The window holds one, and a
    // result on its way another.
    std::array<QImage, 3> canvases_;
    std::jthread thread_;  // last: starts once the rest is made
};

}  // namespace display

#pragma once
// The windows' rule for a text: as large as fits the area, wrapped at spaces (a number keeps
// its currency sign or unit on its line), each of its own lines (CR, LF or CRLF) starting a
// new one, centred. A sale screen (a text with a TAB) is a row per line, the item on the
// area's left edge and the amount on its right.

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

namespace display {

struct TextShape {
    // A piece of the text and where its baseline starts.
    struct Run {
        QPointF at;
        QString text;
    };
    QFont font;
    int pixelSize = 0;
    QStringList lines;  // as laid out; a sale's row is its item, and a TAB and its amount if any
    std::vector<Run> runs;
    // The pixels the runs cover.
    QRectF Bounds() const;
};

TextShape FitText(const QFont& base, const QString& text, const QRectF& area);

}  // namespace display

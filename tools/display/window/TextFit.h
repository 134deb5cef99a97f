#pragma once
// The windows' rule for a text: as large as fits the area, wrapped at spaces (a number keeps
// its currency sign or unit on its line), each of its own lines (CR, LF or CRLF) starting a
// new one, centred. A sale (a text with a TAB, or a total) is a row per line, the item on the
// area's left edge and the amount on its right, in one column at one size; its total (and
// change due) on rows of their own at the bottom, one and a half times the items' size. The
// items' rows are never smaller than a twelfth of the area's height: when they do not all fit,
// the latest are shown, under a row that says how many are above ("+ 11 articles"), and an
// item too wide for its row is cut short with an ellipsis.

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "board/Regions.h"

namespace display {

struct TextShape {
    // A piece of the text and where its baseline starts.
    struct Run {
        QPointF at;
        QString text;
        std::optional<QFont> font;  // its own, when not the shape's (a total's row)
    };
    QFont font;
    int pixelSize = 0;
    QStringList lines;  // as laid out; a sale's row is its item, and a TAB and its amount if any
    std::vector<Run> runs;
    // The pixels the runs cover.
    QRectF Bounds() const;
};

// total: the sale's total and change due, "LABEL<TAB>AMOUNT" a line (empty: none).
TextShape FitText(const QFont& base, const QString& text, const QRectF& area,
                  const QString& total = {});

}  // namespace display

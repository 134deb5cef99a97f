#include "TextFit.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <optional>
#include <vector>

namespace display {

namespace {

// The text's own lines (a line break: CR, LF or CRLF), a number kept with the currency sign
// or unit after it by a no-break space ("23,70 €" never leaves the € alone on a line).
QStringList OwnLines(const QString& text) {
    static const QRegularExpression amount(
        QStringLiteral("(\\d) (?=(€|EUR|\\$|£|%|kg|g|l|cl|ml)(?![\\p{L}\\d]))"));
    QString kept = text;
    kept.replace(amount, QStringLiteral("\\1\u00A0"));
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return kept.split(lineBreak);
}

// The lines of the text in font, wrapped at spaces within width; nothing when a word is wider.
std::optional<QStringList> Wrapped(const QStringList& own, const QFont& font, double width) {
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    for (const QString& paragraph : own) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (line.naturalTextWidth() > width + 0.5) {
                layout.endLayout();
                return std::nullopt;
            }
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines;
}

// A sale screen (a text with a TAB): each line a row, the item on the area's left edge and the
// amount on its right, as large as the rows fit; further TABs show as a blank.
TextShape FitSale(const QFont& base, const QString& text, const QRectF& area) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    struct Row {
        QString item;
        QString amount;
        bool tab = false;  // the line has an amount, maybe empty
    };
    std::vector<Row> rows;
    for (const QString& line : text.split(lineBreak)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        Row row{line.left(tab < 0 ? line.size() : tab), tab < 0 ? QString() : line.mid(tab + 1),
                tab >= 0};
        row.item.replace(QLatin1Char('\t'), QLatin1Char(' '));
        row.amount.replace(QLatin1Char('\t'), QLatin1Char(' '));
        rows.push_back(row);
    }
    QFont font = base;
    const auto fits = [&](int size) {
        font.setPixelSize(size);
        const QFontMetricsF metrics(font);
        if (static_cast<double>(rows.size()) * metrics.lineSpacing() > area.height()) return false;
        return std::all_of(rows.begin(), rows.end(), [&](const Row& row) {
            return metrics.horizontalAdvance(row.item) + metrics.horizontalAdvance(row.amount) +
                       metrics.averageCharWidth() <=
                   area.width();
        });
    };
    int low = 8;
    int high = std::max(9, static_cast<int>(area.height() * 0.7) + 1);
    while (high - low > 1) {
        const int size = (low + high) / 2;
        if (fits(size)) {
            low = size;
        } else {
            high = size;
        }
    }
    font.setPixelSize(low);
    const QFontMetricsF metrics(font);
    TextShape shape;
    shape.font = font;
    shape.pixelSize = low;
    double baseline =
        area.top() + (area.height() - rows.size() * metrics.lineSpacing()) / 2 + metrics.ascent();
    for (const Row& row : rows) {
        shape.runs.push_back({QPointF(area.left(), baseline), row.item});
        shape.runs.push_back(
            {QPointF(area.right() - metrics.horizontalAdvance(row.amount), baseline), row.amount});
        shape.lines << (!row.tab ? row.item : row.item + QLatin1Char('\t') + row.amount);
        baseline += metrics.lineSpacing();
    }
    return shape;
}

}  // namespace

TextShape FitText(const QFont& base, const QString& text, const QRectF& area) {
    if (text.contains(QLatin1Char('\t'))) return FitSale(base, text, area);
    const QStringList own = OwnLines(text);
    QFont font = base;
    // The largest size whose wrapped lines fit the area; one line no taller than 70% of it.
    int low = 8;
    int high = std::max(9, static_cast<int>(area.height() * 0.7) + 1);
    QStringList lines = own;
    while (high - low > 1) {
        const int size = (low + high) / 2;
        font.setPixelSize(size);
        const auto wrapped = Wrapped(own, font, area.width());
        if (wrapped && wrapped->size() * QFontMetricsF(font).lineSpacing() <= area.height()) {
            low = size;
        } else {
            high = size;
        }
    }
    font.setPixelSize(low);
    if (const auto wrapped = Wrapped(own, font, area.width())) lines = *wrapped;
    const QFontMetricsF metrics(font);
    TextShape shape;
    shape.font = font;
    shape.pixelSize = low;
    shape.lines = lines;
    const double total = lines.size() * metrics.lineSpacing();
    double baseline = area.top() + (area.height() - total) / 2 + metrics.ascent();
    for (const QString& line : lines) {
        shape.runs.push_back(
            {QPointF(area.center().x() - metrics.horizontalAdvance(line) / 2, baseline), line});
        baseline += metrics.lineSpacing();
    }
    return shape;
}

QRectF TextShape::Bounds() const {
    const QFontMetricsF metrics(font);
    QRectF bounds;
    for (const Run& run : runs)
        bounds |= metrics.boundingRect(run.text).translated(run.at);
    return bounds;
}

}  // namespace display

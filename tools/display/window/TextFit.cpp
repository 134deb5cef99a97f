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

struct SaleRow {
    QString item;
    QString amount;
    bool tab = false;  // the line has an amount, maybe empty
};

std::vector<SaleRow> SaleRows(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    std::vector<SaleRow> rows;
    if (text.isEmpty()) return rows;
    for (const QString& line : text.split(lineBreak)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        SaleRow row{line.left(tab < 0 ? line.size() : tab), tab < 0 ? QString() : line.mid(tab + 1),
                    tab >= 0};
        row.item.replace(QLatin1Char('\t'), QLatin1Char(' '));
        row.amount.replace(QLatin1Char('\t'), QLatin1Char(' '));
        rows.push_back(row);
    }
    return rows;
}

// A sale: each line a row, the item on the area's left edge and the amount on its right, as
// large as the rows fit, but no smaller than a twelfth of the area a row; then the total's
// rows, larger (see TextFit.h).
TextShape FitSale(const QFont& base, const QString& text, const QString& total,
                  const QRectF& area) {
    std::vector<SaleRow> items = SaleRows(text);
    const std::vector<SaleRow> totals = SaleRows(total);
    QFont font = base;
    QFont totalFont = base;
    const auto setSize = [&](int size) {
        font.setPixelSize(size);
        totalFont.setPixelSize(static_cast<int>(size * kTotalScale));
    };
    const auto rowWidth = [](const QFontMetricsF& metrics, const SaleRow& row) {
        return metrics.horizontalAdvance(row.item) + metrics.horizontalAdvance(row.amount) +
               (row.amount.isEmpty() ? 0.0 : metrics.averageCharWidth());
    };
    // The height the rows take at the current size, count items shown (and a mark row).
    // A total's row is one and a half times an item's; its font may be smaller to fit the width.
    const auto height = [&](std::size_t shownItems, bool mark) {
        const double spacing = QFontMetricsF(font).lineSpacing();
        return static_cast<double>(shownItems + (mark ? 1 : 0)) * spacing +
               static_cast<double>(totals.size()) * spacing * kTotalScale;
    };
    const auto fitsWhole = [&](int size) {
        setSize(size);
        if (height(items.size(), false) > area.height()) return false;
        // As large as the items and the total at its full size fit; the total's font is made
        // smaller only at the least size, where the items can grow no smaller.
        const QFontMetricsF metrics(font);
        const QFontMetricsF totalMetrics(totalFont);
        const auto fits = [&](const SaleRow& row) {
            return rowWidth(metrics, row) <= area.width();
        };
        const auto totalFits = [&](const SaleRow& row) {
            return rowWidth(totalMetrics, row) <= area.width();
        };
        return std::all_of(items.begin(), items.end(), fits) &&
               std::all_of(totals.begin(), totals.end(), totalFits);
    };
    // The smallest size the items may take: a row a twelfth of the area.
    int least = 8;
    if (!items.empty()) {
        while (least < 400) {
            font.setPixelSize(least);
            if (QFontMetricsF(font).lineSpacing() * kSaleRowsAtMost >= area.height()) break;
            ++least;
        }
    }
    int low = least;
    int high = std::max(least + 1, static_cast<int>(area.height() * 0.7) + 1);
    if (!fitsWhole(low)) {
        high = low + 1;  // it stays at the least size: rows are cut, or items left out
    }
    while (high - low > 1) {
        const int size = (low + high) / 2;
        if (fitsWhole(size)) {
            low = size;
        } else {
            high = size;
        }
    }
    setSize(low);
    const QFontMetricsF metrics(font);
    // The total's font: one and a half times the items', smaller when its rows are too wide.
    const auto totalsFit = [&] {
        const QFontMetricsF candidate(totalFont);
        return std::all_of(totals.begin(), totals.end(), [&](const SaleRow& row) {
            return rowWidth(candidate, row) <= area.width();
        });
    };
    while (totalFont.pixelSize() > low && !totalsFit())
        totalFont.setPixelSize(totalFont.pixelSize() - 1);
    const QFontMetricsF totalMetrics(totalFont);
    // The latest items that fit, under a mark that counts the others.
    std::size_t hidden = 0;
    if (height(items.size(), false) > area.height()) {
        std::size_t shown = items.size();
        while (shown > 0 && height(shown, true) > area.height())
            --shown;
        hidden = items.size() - shown;
        items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(hidden));
    }
    TextShape shape;
    shape.font = font;
    shape.pixelSize = low;
    double top = area.top() + (area.height() - height(items.size(), hidden > 0)) / 2;
    const auto place = [&](const SaleRow& row, const QFontMetricsF& rowMetrics,
                           std::optional<QFont> own) {
        // A total's row takes its whole height (one and a half items'), its text at the bottom.
        const double rowHeight =
            own ? metrics.lineSpacing() * kTotalScale : rowMetrics.lineSpacing();
        const double baseline = top + rowHeight - rowMetrics.lineSpacing() + rowMetrics.ascent();
        const double amountWidth = rowMetrics.horizontalAdvance(row.amount);
        const double room = area.width() - amountWidth -
                            (row.amount.isEmpty() ? 0.0 : rowMetrics.averageCharWidth());
        const QString item =
            rowMetrics.horizontalAdvance(row.item) <= room
                ? row.item
                : rowMetrics.elidedText(row.item, Qt::ElideRight, std::max(0.0, room));
        shape.runs.push_back({QPointF(area.left(), baseline), item, own});
        shape.runs.push_back({QPointF(area.right() - amountWidth, baseline), row.amount, own});
        shape.lines << (!row.tab ? item : item + QLatin1Char('\t') + row.amount);
        top += rowHeight;
    };
    if (hidden > 0)
        place({QStringLiteral("+ %1 articles").arg(hidden), QString(), false}, metrics,
              std::nullopt);
    for (const SaleRow& row : items)
        place(row, metrics, std::nullopt);
    for (const SaleRow& row : totals)
        place(row, totalMetrics, totalFont);
    return shape;
}

}  // namespace

TextShape FitText(const QFont& base, const QString& text, const QRectF& area,
                  const QString& total) {
    if (text.contains(QLatin1Char('\t')) || !total.isEmpty())
        return FitSale(base, text, total, area);
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
    const double tall = lines.size() * metrics.lineSpacing();
    double baseline = area.top() + (area.height() - tall) / 2 + metrics.ascent();
    for (const QString& line : lines) {
        shape.runs.push_back(
            {QPointF(area.center().x() - metrics.horizontalAdvance(line) / 2, baseline), line,
             std::nullopt});
        baseline += metrics.lineSpacing();
    }
    return shape;
}

QRectF TextShape::Bounds() const {
    QRectF bounds;
    for (const Run& run : runs)
        bounds |= QFontMetricsF(run.font.value_or(font)).boundingRect(run.text).translated(run.at);
    return bounds;
}

}  // namespace display

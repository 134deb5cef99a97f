#include "Screen.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace display {

namespace {

constexpr int kMarqueeFrameMs = 33;
constexpr double kMarqueePixelsPerSecond = 120.0;
constexpr double kMarqueeShare = 0.2;  // of the window's height, along the bottom

QColor ToQColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

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

}  // namespace

// A sale screen (a text with a TAB): each line a row, the item on the area's left edge and the
// amount on its right, as large as the rows fit; further TABs show as a blank.
static Screen::TextShape FitSale(const QFont& base, const QString& text, const QRectF& area) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    struct Row {
        QString item;
        QString amount;
    };
    std::vector<Row> rows;
    for (const QString& line : text.split(lineBreak)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        Row row{line.left(tab < 0 ? line.size() : tab), tab < 0 ? QString() : line.mid(tab + 1)};
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
    Screen::TextShape shape;
    shape.pixelSize = low;
    double baseline =
        area.top() + (area.height() - rows.size() * metrics.lineSpacing()) / 2 + metrics.ascent();
    for (const Row& row : rows) {
        shape.path.addText(area.left(), baseline, font, row.item);
        shape.path.addText(area.right() - metrics.horizontalAdvance(row.amount), baseline, font,
                           row.amount);
        shape.lines << row.item + QLatin1Char('\t') + row.amount;
        baseline += metrics.lineSpacing();
    }
    return shape;
}

Screen::TextShape Screen::FitText(const QFont& base, const QString& text, const QRectF& area) {
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
    shape.pixelSize = low;
    shape.lines = lines;
    const double total = lines.size() * metrics.lineSpacing();
    double baseline = area.top() + (area.height() - total) / 2 + metrics.ascent();
    for (const QString& line : lines) {
        shape.path.addText(area.center().x() - metrics.horizontalAdvance(line) / 2, baseline, font,
                           line);
        baseline += metrics.lineSpacing();
    }
    return shape;
}

namespace {}  // namespace

Screen::Screen(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("afficheur-display"));
    setAutoFillBackground(false);
    resize(800, 300);
    marquee_.setInterval(kMarqueeFrameMs);
    // Each frame of the marquee repaints its band only: the large text, a costly path to fill,
    // is drawn again only when it or the window changes.
    connect(&marquee_, &QTimer::timeout, this, [this] {
        const int band = static_cast<int>(std::ceil(height() * kMarqueeShare)) + 1;
        update(0, height() - band, width(), band);
    });
}

void Screen::Show(const Board& board) {
    const bool scrollChanged = board.scroll != board_.scroll;
    if (board.text != board_.text) textPathFor_ = QSize();
    board_ = board;
    text_ = QString::fromStdString(board.text);
    scroll_ = QString::fromStdString(board.scroll);
    registerName_ = QString::fromStdString(board.registerName);
    if (scrollChanged) {
        scrollClock_.start();
        marqueeFor_ = -1;
    }
    if (scroll_.isEmpty()) {
        marquee_.stop();
    } else if (!marquee_.isActive()) {
        marquee_.start();
    }
    update();
}

void Screen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Every part in the board's colour, on its backdrop: black, or white behind the colours
    // too dark to read on black.
    const Rgb rgb = PaletteColour(board_.colour >= 0 && board_.colour <= 15 ? board_.colour : 15);
    const QColor colour = ToQColor(rgb);
    const QColor backdrop = ToQColor(Backdrop(rgb));
    painter.fillRect(rect(), backdrop);

    const double w = width();
    const double h = height();
    const double marqueeHeight = h * kMarqueeShare;
    const double cornerHeight = h * 0.1;

    if (!registerName_.isEmpty()) {
        QFont font = this->font();
        font.setPixelSize(std::max(8, static_cast<int>(cornerHeight * 0.8)));
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QRectF(8, 4, w - 16, cornerHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         registerName_);
    }

    if (!text_.isEmpty()) {
        if (textPathFor_ != size()) {
            const QRectF area(16, cornerHeight, w - 32, h - cornerHeight - marqueeHeight);
            TextShape shape = FitText(this->font(), text_, area);
            textPath_ = std::move(shape.path);
            textPixelSize_ = shape.pixelSize;
            textLines_ = static_cast<int>(shape.lines.size());
            textPathFor_ = size();
            ++layouts_;
        }
        painter.fillPath(textPath_, colour);
    }

    if (!scroll_.isEmpty()) {
        const int pixelSize = std::max(8, static_cast<int>(marqueeHeight * 0.7));
        if (marqueeFor_ != pixelSize) {
            marqueeFont_ = this->font();
            marqueeFont_.setPixelSize(pixelSize);
            marqueeText_.setTextFormat(Qt::PlainText);
            marqueeText_.setText(scroll_);
            marqueeText_.prepare(QTransform(), marqueeFont_);
            marqueeFor_ = pixelSize;
            ++layouts_;
        }
        const QSizeF textSize = marqueeText_.size();
        const double travel = w + textSize.width();
        const double moved =
            std::fmod(scrollClock_.elapsed() * kMarqueePixelsPerSecond / 1000.0, travel);
        const QRectF band(0, h - marqueeHeight, w, marqueeHeight);
        // The band's edge, a hairline in the board's colour.
        painter.fillRect(QRectF(band.left(), band.top(), band.width(), 1), colour);
        painter.setFont(marqueeFont_);
        painter.setPen(colour);
        painter.setClipRect(band);
        painter.drawStaticText(
            QPointF(w - moved, band.top() + (band.height() - textSize.height()) / 2), marqueeText_);
    }
}

OutputState Screen::Health() const {
    // A full-screen window hides while its monitor is away: it shows nothing then.
    const bool full = windowState().testFlag(Qt::WindowFullScreen);
    return {full ? "fullscreen" : "window",
            full && screen() ? screen()->name().toStdString() : std::string(), isVisible()};
}

}  // namespace display

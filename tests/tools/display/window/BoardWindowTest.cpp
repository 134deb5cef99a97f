// afficheur-display's window run in this process, on the offscreen platform: what it draws,
// the work it does per frame, its text fitted to its area (TextFit) and the layout rule's table
// in it.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QImage>
#include <QRectF>

#include <string>
#include <vector>

#include "LayoutRuleTable.h"
#include "RenderDrawn.h"
#include "board/Board.h"
#include "board/Palette.h"
#include "board/Regions.h"
#include "window/BoardWindow.h"
#include "window/TextFit.h"

// A window that follows another display's page: until a first board comes it says what it
// waits for instead of staying black, and while that display is away it shows the page's mark.
TEST(DisplayScreen, AFollowingWindowShowsWhatItWaitsForAndALostLink) {
    display::BoardWindow screen;
    screen.resize(800, 300);
    QImage frame(screen.size(), QImage::Format_ARGB32);
    const auto lit = [&](QRect area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                count += frame.pixelColor(x, y).lightness() > 40 ? 1 : 0;
        }
        return count;
    };
    const QRect middle(100, 120, 600, 60);
    const QRect corner(760, 0, 40, 30);
    const auto redIn = [&](QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = frame.pixelColor(x, y);
                if (c.red() > 80 && c.green() < 60) return true;
            }
        }
        return false;
    };
    screen.ShowLinkLost(true, QStringLiteral("http://127.0.0.1:8080/"));
    RenderDrawn(screen, frame);
    EXPECT_GT(lit(middle), 50) << "no line says what the window waits for";
    EXPECT_TRUE(redIn(corner)) << "no mark while the page is out of reach";

    screen.ShowLinkLost(false, QStringLiteral("http://127.0.0.1:8080/"));
    RenderDrawn(screen, frame);
    EXPECT_EQ(lit(middle), 0) << "an empty board once followed is black";
    EXPECT_FALSE(redIn(corner));

    screen.ShowLinkLost(true, QStringLiteral("http://127.0.0.1:8080/"));  // lost again
    RenderDrawn(screen, frame);
    EXPECT_EQ(lit(middle), 0) << "the last board stays, without the waiting line";
    EXPECT_TRUE(redIn(corner));
}

TEST(DisplayScreen, LaysOutEachTextOncePerChangeNotPerFrame) {
    display::BoardWindow screen;
    screen.resize(800, 300);
    QImage frame(screen.size(), QImage::Format_ARGB32);
    const auto paintFrames = [&](int count) {
        RenderDrawn(screen, frame);
        for (int i = 1; i < count; ++i)
            screen.render(&frame);
    };

    display::Board board;
    board.text = "Bienvenue";
    board.scroll = std::string(64 * 1024 - 2, 'a');  // the longest a message can carry
    screen.Show(board);
    paintFrames(10);
    EXPECT_EQ(screen.Layouts(), 2) << "the text and the scrolling text, once each";

    board.colour = 4;  // a new colour needs no new layout
    screen.Show(board);
    paintFrames(10);
    EXPECT_EQ(screen.Layouts(), 2);

    board.scroll = "Soldes";
    screen.Show(board);
    paintFrames(10);
    EXPECT_EQ(screen.Layouts(), 3) << "only the scrolling text changed";

    screen.resize(1000, 400);
    paintFrames(10);
    EXPECT_EQ(screen.Layouts(), 5) << "a new size lays out both again";
}

// A long text takes the text's own thread tens of milliseconds to fit; the window shows it once
// drawn, and its thread stays free meanwhile.
TEST(DisplayScreen, ALongTextIsDrawnOnTheTextsOwnThread) {
    display::BoardWindow screen;
    screen.resize(800, 300);
    QImage frame(screen.size(), QImage::Format_ARGB32);
    display::Board board;
    while (board.text.size() < 16 * 1024)
        board.text += "Soldes d'\xC3\xA9t\xC3\xA9 ";
    screen.Show(board);
    screen.render(&frame);
    EXPECT_FALSE(screen.TextDrawn()) << "a long text is not drawn on the window's thread";
    RenderDrawn(screen, frame);
    EXPECT_GT(screen.TextLines().size(), 10);
    bool drawn = false;  // in white, the default colour, on black: light pixels somewhere
    for (int y = 0; y < frame.height() && !drawn; ++y) {
        for (int x = 0; x < frame.width() && !drawn; ++x)
            drawn = frame.pixelColor(x, y).lightness() > 200;
    }
    EXPECT_TRUE(drawn);
}

// The text's images reuse their memory: a text drawn after others looks as it does alone.
TEST(DisplayScreen, ATextDrawnAfterOthersLooksAsItDoesAlone) {
    const auto frameOf = [](const std::vector<std::string>& texts) {
        display::BoardWindow screen;
        screen.resize(800, 300);
        QImage frame(screen.size(), QImage::Format_ARGB32);
        display::Board board;
        for (const std::string& text : texts) {
            board.text = text;
            screen.Show(board);
            RenderDrawn(screen, frame);
        }
        return frame;
    };
    const QImage alone = frameOf({"1 i"});
    EXPECT_EQ(frameOf({"WWWW WWWW WWWW", "Bonjour", "M\nM\nM", "1 i"}), alone);
}

// The window's text is as large as fits at every size, wrapped at spaces: within 10% of the
// largest size found here by Qt's own word-wrapping measure.
TEST(DisplayScreen, ATextWrapsAtSpacesAndIsAsLargeAsFits) {
    const QString texts[] = {
        QString::fromUtf8("Bienvenue chez nous ! Aujourd'hui, remise de 20 % sur tous les "
                          "fromages affinés et les vins de la région, jusqu'à la fermeture du "
                          "magasin ce soir."),
        QString::fromUtf8("Café crème et croissant au beurre : 3,90 € le matin"),
    };
    const QSizeF areas[] = {{1248, 504}, {1888, 756}, {768, 896}, {992, 538}, {328, 448}};
    const QFont base;
    for (const QString& text : texts) {
        for (const QSizeF& size : areas) {
            SCOPED_TRACE(QStringLiteral("%1x%2, %3 characters")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(text.size())
                             .toStdString());
            const QRectF area(QPointF(0, 0), size);
            int low = 8, high = static_cast<int>(size.height() * 0.7) + 1;
            while (high - low > 1) {
                const int pixels = (low + high) / 2;
                QFont font = base;
                font.setPixelSize(pixels);
                const QFontMetricsF metrics(font);
                bool wordsFit = true;
                for (const QString& word : text.split(QLatin1Char(' ')))
                    wordsFit = wordsFit && metrics.horizontalAdvance(word) <= size.width();
                const QRectF used = metrics.boundingRect(area, Qt::TextWordWrap, text);
                if (wordsFit && used.height() <= size.height()) {
                    low = pixels;
                } else {
                    high = pixels;
                }
            }
            const auto shape = display::FitText(base, text, area);
            EXPECT_GE(shape.pixelSize, 0.9 * low) << "fits " << low << " px";
            EXPECT_LE(shape.Bounds().width(), size.width() + 1);
            EXPECT_LE(shape.Bounds().height(), size.height() + 1);
        }
    }
}

TEST(DisplayScreen, ASaleSetsItemsOnTheLeftAndAmountsOnTheRight) {
    const QRectF area(16, 40, 1000, 400);
    const auto shape =
        display::FitText(QFont(), QString::fromUtf8("Café crème\t2,40 €\nTOTAL\t23,70 €"), area);
    EXPECT_EQ(shape.lines, (QStringList{QString::fromUtf8("Café crème\t2,40 €"),
                                        QString::fromUtf8("TOTAL\t23,70 €")}));
    const QRectF drawn = shape.Bounds();
    EXPECT_LT(drawn.left() - area.left(), 0.02 * area.width()) << "items off the left edge";
    EXPECT_LT(area.right() - drawn.right(), 0.02 * area.width()) << "amounts off the right edge";
    EXPECT_LE(drawn.right(), area.right() + 1);
    EXPECT_GT(shape.pixelSize, 0.2 * area.height());  // large: two rows in the area
}

TEST(DisplayScreen, EveryColourIsDrawnOnABackdropItCanBeReadOn) {
    display::BoardWindow screen;
    screen.resize(400, 200);
    QImage frame(screen.size(), QImage::Format_ARGB32);
    display::Board board;
    board.text = "Bonjour";
    board.scroll = "Soldes";
    board.registerName = "Caisse 1";
    for (int index = 0; index < 16; ++index) {
        board.colour = index;
        screen.Show(board);
        RenderDrawn(screen, frame);
        const display::Rgb colour = display::PaletteColour(index);
        const QColor behind = frame.pixelColor(frame.width() - 2, frame.height() / 2);
        const display::Rgb backdrop{static_cast<uint8_t>(behind.red()),
                                    static_cast<uint8_t>(behind.green()),
                                    static_cast<uint8_t>(behind.blue())};
        EXPECT_EQ(backdrop, display::Backdrop(colour)) << index;
        EXPECT_GE(display::ContrastRatio(colour, backdrop), 4.5) << index;
        // The text is drawn in the board's colour: some pixel of it is that colour.
        bool drawn = false;
        for (int y = 0; y < frame.height() && !drawn; ++y) {
            for (int x = 0; x < frame.width() && !drawn; ++x) {
                const QColor pixel = frame.pixelColor(x, y);
                drawn = pixel.red() == colour.red && pixel.green() == colour.green &&
                        pixel.blue() == colour.blue;
            }
        }
        EXPECT_TRUE(drawn) << index;
    }
}

// Whether some pixel of the frame within area is exactly the colour.
static bool HasColour(const QImage& frame, const QRect& area, display::Rgb colour) {
    const QRect inside = area & frame.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = frame.pixelColor(x, y);
            if (pixel.red() == colour.red && pixel.green() == colour.green &&
                pixel.blue() == colour.blue)
                return true;
        }
    }
    return false;
}

// The layout rule's table in the window, at two sizes.
TEST(LayoutRule, InTheWindow) {
    display::BoardWindow screen;
    for (const QSize size : {QSize(800, 300), QSize(480, 640)}) {
        screen.resize(size);
        QImage frame(size, QImage::Format_ARGB32);
        for (const ruletable::Row& row : ruletable::Rows()) {
            SCOPED_TRACE(
                std::string(row.name) +
                QStringLiteral(" at %1x%2").arg(size.width()).arg(size.height()).toStdString());
            screen.Show(row.board);
            RenderDrawn(screen, frame);
            std::vector<std::string> lines;
            for (const QString& line : screen.TextLines())
                lines.push_back(line.toStdString());
            EXPECT_EQ(ruletable::BreaksTheRule(ruletable::SaleText(row.board), lines), "")
                << ::testing::PrintToString(lines);
            const display::Rgb colour = display::PaletteColour(row.board.colour);
            const QColor behind = frame.pixelColor(size.width() - 2, size.height() / 2);
            EXPECT_EQ((display::Rgb{static_cast<uint8_t>(behind.red()),
                                    static_cast<uint8_t>(behind.green()),
                                    static_cast<uint8_t>(behind.blue())}),
                      display::Backdrop(colour));
            // The register's name in its header, the scrolling text in its band: drawn in the
            // board's colour where the regions' rule puts them.
            const display::Regions regions =
                display::RegionsFor(size.width(), size.height(), !row.board.registerName.empty(),
                                    !row.board.scroll.empty());
            const int header = static_cast<int>(regions.headerHeight);
            const int band = static_cast<int>(std::round(regions.bandHeight));
            if (header > 0) {
                EXPECT_TRUE(HasColour(frame, QRect(0, 0, size.width(), header), colour))
                    << "the register's name";
            }
            if (band > 0) {
                EXPECT_TRUE(
                    HasColour(frame, QRect(0, size.height() - band, size.width(), band), colour))
                    << "the scrolling text";
            }
        }
    }
}

// A sale in the window: items at one size, amounts flush right in one column, the total set
// apart at the bottom one and a half times larger; a long sale keeps its latest items, each
// row at least a twelfth of the area, under a mark counting the others.
TEST(DisplayScreen, ASaleShowsItsTotalLargerAndItsLatestItems) {
    const QFont base;
    const QRectF area(0, 0, 800, 600);
    struct Case {
        const char* name;
        int items;
        bool total;
        bool change;
    };
    const Case cases[] = {{"2 items and a total", 2, true, false},
                          {"15 items and a total", 15, true, false},
                          {"40 items, a total and the change due", 40, true, true},
                          {"a total alone", 0, true, false},
                          {"15 items, no total", 15, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList lines;
        for (int i = 1; i <= c.items; ++i)
            lines << QStringLiteral("Article %1\t%2,00 EUR").arg(i).arg(i);
        const QString total = c.total
                                  ? (c.change ? QStringLiteral("TOTAL\t99,00 EUR\nRendu\t1,00 EUR")
                                              : QStringLiteral("TOTAL\t99,00 EUR"))
                                  : QString();
        const auto shape = display::FitText(base, lines.join(QLatin1Char('\n')), area, total);
        const QFontMetricsF items(shape.font);
        if (c.items > 0) {
            EXPECT_GE(items.lineSpacing() * 12, area.height() - 1) << "rows below a twelfth";
        }
        const int totals = c.total ? (c.change ? 2 : 1) : 0;
        int itemRuns = 0;
        int bigRuns = 0;
        double amountRight = -1;
        for (const auto& run : shape.runs) {
            if (run.font) {
                ++bigRuns;
                EXPECT_GE(run.font->pixelSize(), shape.pixelSize * (c.items > 0 ? 1.5 : 1) - 1)
                    << "the total's size";
            } else {
                ++itemRuns;
            }
            EXPECT_GE(run.at.x(), area.left() - 0.5);
            const double right =
                run.at.x() +
                QFontMetricsF(run.font.value_or(shape.font)).horizontalAdvance(run.text);
            EXPECT_LE(right, area.right() + 0.5) << "cut at the edge: " << run.text.toStdString();
            if (!run.font && run.text.endsWith(QStringLiteral("EUR"))) {
                if (amountRight >= 0) {
                    EXPECT_NEAR(right, amountRight, 0.5) << "one column";
                }
                amountRight = right;
            }
        }
        EXPECT_EQ(bigRuns, 2 * totals);
        const bool all = itemRuns / 2 == c.items;
        if (!all) {
            EXPECT_TRUE(shape.lines.front().startsWith(QStringLiteral("+ "))) << "no mark";
            const int hidden = shape.lines.front().mid(2).section(QLatin1Char(' '), 0, 0).toInt();
            EXPECT_EQ(hidden + itemRuns / 2 - 1, c.items) << "the mark counts the others";
            EXPECT_TRUE(shape.lines[shape.lines.size() - totals - 1].startsWith(
                QStringLiteral("Article %1\t").arg(c.items)))
                << "the latest item is shown";
        }
        EXPECT_EQ(all, c.items <= 10) << "what a 600-pixel area holds at a twelfth a row";
        const double bottom = shape.Bounds().bottom();
        EXPECT_LE(bottom, area.bottom() + 1) << "rows past the area";
    }
}

TEST(DisplayScreen, ALineBreakStartsALineAndAnAmountStaysWhole) {
    const QFont base;
    const auto broken =
        display::FitText(base, QString::fromUtf8("Café crème\r\n2,40 €"), QRectF(0, 0, 1200, 500));
    EXPECT_EQ(broken.lines,
              (QStringList{QString::fromUtf8("Café crème"), QString::fromUtf8("2,40\u00A0€")}));
    for (const char* lf : {"a\nb", "a\rb", "a\r\nb"})
        EXPECT_EQ(
            display::FitText(base, QString::fromLatin1(lf), QRectF(0, 0, 400, 300)).lines.size(), 2)
            << lf;
    // Narrow and tall: the text wraps, and the € stays with its number.
    const auto narrow = display::FitText(base, QString::fromUtf8("Total à payer 23,70 € merci"),
                                         QRectF(0, 0, 160, 600));
    ASSERT_GE(narrow.lines.size(), 2);
    for (const QString& line : narrow.lines)
        EXPECT_FALSE(line.startsWith(QString::fromUtf8("€"))) << line.toStdString();
}

// While nobody buys: a picture of the shop fills the text's place as large as fits, its sides'
// ratio kept, and the logo stands in the top of it, above the welcome text; on every shape of
// screen, between the header and the band.
TEST(DisplayScreen, APictureTakesTheTextsPlaceAndTheLogoStandsAboveTheWelcomeText) {
    QImage green(400, 300, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    green.save(&buffer, "PNG");
    const QSize sizes[] = {{800, 300}, {1280, 800}, {800, 1280}, {360, 640}};
    for (const QSize size : sizes) {
        for (const bool alone : {true, false}) {
            display::BoardWindow screen;
            screen.SetPictureSource(
                [&](const std::string& name) { return name == "shop.png" ? bytes : QByteArray(); });
            screen.resize(size);
            display::Board board;
            board.text = "Bienvenue";
            board.registerName = "Caisse 1";
            board.scroll = "Soldes";
            board.picture = "shop.png";
            board.pictureAlone = alone;
            screen.Show(board);
            QImage frame(size, QImage::Format_ARGB32);
            RenderDrawn(screen, frame);
            const display::Regions regions =
                display::RegionsFor(size.width(), size.height(), true, true);
            const QRectF text(16, regions.textTop, size.width() - 32, regions.textHeight);
            // (The header's glyphs and the band's hairline may touch the region's edges.)
            const QRect inside = text.adjusted(0, 4, 0, -4).toAlignedRect();
            QRect greenBox;
            QRect welcome;  // the white text's pixels in the text's region
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x) {
                    const QColor c = frame.pixelColor(x, y);
                    if (c.green() > 150 && c.red() < 60) greenBox |= QRect(x, y, 1, 1);
                    if (c.red() > 200 && c.green() > 200 && inside.contains(x, y))
                        welcome |= QRect(x, y, 1, 1);
                }
            }
            const QRectF room = alone ? text
                                      : QRectF(text.left(), text.top(), text.width(),
                                               text.height() * display::kLogoShare);
            const std::string where = std::to_string(size.width()) + "x" +
                                      std::to_string(size.height()) + (alone ? " alone" : " logo");
            EXPECT_EQ(screen.PictureShown(), greenBox) << where;
            EXPECT_TRUE(room.adjusted(-1, -1, 1, 1).contains(QRectF(greenBox))) << where;
            EXPECT_TRUE(std::abs(greenBox.width() - room.width()) <= 2 ||
                        std::abs(greenBox.height() - room.height()) <= 2)
                << where << ": not as large as fits";
            EXPECT_NEAR(double(greenBox.width()) / greenBox.height(), 4.0 / 3.0, 0.03) << where;
            // The welcome text (white) shows only with the logo, below it, above the band.
            if (alone) {
                EXPECT_TRUE(welcome.isEmpty()) << where;
            } else {
                ASSERT_FALSE(welcome.isEmpty()) << where;
                EXPECT_GE(welcome.top(), greenBox.bottom()) << where;
            }
        }
    }
}

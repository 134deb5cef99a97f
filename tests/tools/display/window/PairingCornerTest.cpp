// The page's address in the window's corner, on the offscreen platform: read back with zbarimg
// as a tablet's camera would, on screens of several shapes and colours, with and without the
// scrolling band; gone when told, and while a payment code shows.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <optional>
#include <string>

#include "QrReader.h"
#include "RenderDrawn.h"
#include "board/Board.h"
#include "support/TempFolder.h"
#include "support/ToolSkip.h"
#include "window/BoardWindow.h"

namespace {

const QString kUrl = QStringLiteral("http://192.168.1.20:8080/");

class PairingCorner : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!displaytest::HaveQrReader())
            SKIP_MISSING_TOOL(std::string(displaytest::kZbarimg) + " is not installed");
    }
    // What zbarimg reads in the window as it is drawn now (its text's image waited for).
    std::optional<std::string> Read(display::BoardWindow& screen, const std::string& name) {
        frame_ = QImage(screen.size(), QImage::Format_RGB32);
        RenderDrawn(screen, frame_);
        const QString path = QString::fromStdString((folder_.path() / (name + ".png")).string());
        if (!frame_.save(path, "PNG")) return std::nullopt;
        return displaytest::ReadQrCodeIn(path);
    }
    QImage frame_;
    TempFolder folder_;
};

// Read back as the address on every shape of screen, the board's text and band beside it: dark
// on white in whole pixels with a clear quiet zone, small, wholly in the window and above the
// band.
TEST_F(PairingCorner, IsReadBackAsTheAddressOnEveryScreen) {
    struct Case {
        const char* name;
        int width;
        int height;
        int colour;
        bool band;
    };
    const Case cases[] = {
        {"landscape monitor", 1280, 800, 15, true},
        {"portrait monitor", 800, 1280, 0, true},
        {"phone-sized window", 360, 640, 10, false},
        {"the window's first size", 800, 300, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        display::BoardWindow screen;
        screen.resize(c.width, c.height);
        display::Board board;
        board.text = "Bienvenue";
        board.registerName = "Caisse 1";
        board.scroll = c.band ? "Soldes" : "";
        board.colour = c.colour;
        screen.Show(board);
        screen.ShowPairing(kUrl);
        EXPECT_EQ(Read(screen, c.name), kUrl.toStdString());

        const auto placed = screen.PairingPlacement();
        ASSERT_GE(placed.modulePixels, 2);
        EXPECT_TRUE(frame_.rect().contains(placed.card)) << "cut";
        EXPECT_LE(placed.code.width(), 0.3 * std::min(c.width, c.height)) << "not small";
        const double bandTop =
            c.height - (c.band ? c.height * (c.height > c.width ? 0.12 : 0.18) : 0.0);
        EXPECT_LE(placed.card.bottom(), bandTop) << "over the band";
        EXPECT_GT(placed.card.left(), c.width / 2) << "not in the right-hand corner";
        EXPECT_EQ(placed.code.width() % placed.modulePixels, 0);
        const QRect code = placed.code;
        const int quiet = 4 * placed.modulePixels;
        bool twoTone = true;
        bool quietWhite = true;
        for (int y = code.top(); y <= code.bottom(); ++y) {
            for (int x = code.left(); x <= code.right(); ++x) {
                const QRgb pixel = frame_.pixel(x, y) & 0xFFFFFF;
                twoTone = twoTone && (pixel == 0 || pixel == 0xFFFFFF);
                if (x < code.left() + quiet || x > code.right() - quiet || y < code.top() + quiet ||
                    y > code.bottom() - quiet)
                    quietWhite = quietWhite && pixel == 0xFFFFFF;
            }
        }
        EXPECT_TRUE(twoTone) << "a module blurred or tinted";
        EXPECT_TRUE(quietWhite) << "the quiet zone is not clear";
    }
}

// An empty address takes it away; a payment code hides it (one code for the customer's phone
// at a time) and it comes back when the sale ends.
TEST_F(PairingCorner, GoesWhenToldAndWhileAPaymentCodeShows) {
    display::BoardWindow screen;
    screen.resize(1280, 800);
    screen.ShowPairing(kUrl);
    EXPECT_EQ(Read(screen, "shown"), kUrl.toStdString());

    display::Board sale;
    sale.text = "Pain\t1,10";
    sale.total = "TOTAL\t1,10";
    sale.qr = "upi://pay?pa=shop@upi&pn=Shop&am=1.1&cu=INR";
    screen.Show(sale);
    EXPECT_EQ(Read(screen, "with-payment"), sale.qr);
    EXPECT_TRUE(screen.PairingPlacement().card.isEmpty());

    screen.Show(display::Board{});
    EXPECT_EQ(Read(screen, "after-sale"), kUrl.toStdString());

    screen.ShowPairing(QString());
    EXPECT_EQ(Read(screen, "taken-away"), "");
    EXPECT_TRUE(screen.PairingPlacement().card.isEmpty());
}

}  // namespace

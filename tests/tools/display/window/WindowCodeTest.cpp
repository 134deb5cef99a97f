// The board's QR code on the window, on the offscreen platform: what is drawn is read back with
// zbarimg as a phone would read it, on every palette colour and on landscape and portrait
// screens, and holds to the rules of a code drawn to be scanned.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <optional>
#include <string>

#include "QrReader.h"
#include "RenderDrawn.h"
#include "board/Board.h"
#include "board/Palette.h"
#include "support/TempFolder.h"
#include "support/ToolSkip.h"
#include "window/BoardWindow.h"

namespace {

// What zbarimg reads in image, saved at path first.
std::optional<std::string> ReadQrCode(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) return std::nullopt;
    return displaytest::ReadQrCodeIn(path);
}

// A SEPA transfer's payload, with its line breaks and a name beyond ASCII.
const std::string kSepa =
    "BCD\n002\n1\nSCT\nBPOTBEB1\nCroix Rouge Belgique Fr\xC3\xA9"
    "d\xC3\xA9ric\n"
    "BE72000000001616\nEUR12.5\n\n\nCommande 1234";

display::Board Sale(int colour) {
    display::Board board;
    board.text = "Caf\xC3\xA9\t2,40 \xE2\x82\xAC\nCroissant\t1,10 \xE2\x82\xAC";
    board.total = "TOTAL\t3,50 \xE2\x82\xAC";
    board.registerName = "Caisse 1";
    board.scroll = "Soldes";
    board.colour = colour;
    board.qr = kSepa;
    board.qrCaption = "Scannez pour payer";
    return board;
}

class WindowCode : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!displaytest::HaveQrReader())
            SKIP_MISSING_TOOL(std::string(displaytest::kZbarimg) + " is not installed");
    }
    QString Png(const std::string& name) const {
        return QString::fromStdString((folder_.path() / (name + ".png")).string());
    }
    TempFolder folder_;
};

// Read back byte for byte on each size and each colour of the palette as the board's: the code
// is dark on white whatever the colour, in whole pixels, at least 30% of the shorter side, and
// wholly on the screen, clear of the text.
TEST_F(WindowCode, IsReadBackAsSentOnEveryColourAndScreen) {
    struct Size {
        int width;
        int height;
    };
    const Size sizes[] = {{1280, 800}, {800, 1280}, {360, 640}};
    for (const Size& size : sizes) {
        display::BoardWindow screen;
        screen.resize(size.width, size.height);
        QImage frame(screen.size(), QImage::Format_RGB32);
        for (int colour = 0; colour < 16; ++colour) {
            const std::string name = std::to_string(size.width) + "x" +
                                     std::to_string(size.height) + "-colour" +
                                     std::to_string(colour);
            SCOPED_TRACE(name);
            screen.Show(Sale(colour));
            RenderDrawn(screen, frame);
            EXPECT_EQ(ReadQrCode(frame, Png(name)), kSepa);

            const auto placed = screen.CodePlacement();
            const QRect code = placed.code;
            EXPECT_TRUE(frame.rect().contains(code)) << "cut";
            EXPECT_GE(code.width(), 0.3 * std::min(size.width, size.height));
            EXPECT_FALSE(code.intersects(placed.text.toAlignedRect())) << "over the text";
            ASSERT_GT(placed.modulePixels, 0);
            EXPECT_EQ(code.width() % placed.modulePixels, 0);
            // Each module whole pixels of black or white, and the quiet zone all white.
            const int quiet = 4 * placed.modulePixels;
            bool twoTone = true;
            bool quietWhite = true;
            for (int y = code.top(); y <= code.bottom(); ++y) {
                for (int x = code.left(); x <= code.right(); ++x) {
                    const QRgb pixel = frame.pixel(x, y) & 0xFFFFFF;
                    twoTone = twoTone && (pixel == 0 || pixel == 0xFFFFFF);
                    const bool inQuietZone = x < code.left() + quiet || x > code.right() - quiet ||
                                             y < code.top() + quiet || y > code.bottom() - quiet;
                    if (inQuietZone) quietWhite = quietWhite && pixel == 0xFFFFFF;
                }
            }
            EXPECT_TRUE(twoTone) << "a module blurred or tinted";
            EXPECT_TRUE(quietWhite) << "the quiet zone is not clear";
        }
    }
}

// Alone (no sale), the code is larger; the next text or sale takes it away; an empty code too.
TEST_F(WindowCode, StandsAloneWithoutASaleAndGoesWithTheNextText) {
    display::BoardWindow screen;
    screen.resize(1280, 800);
    QImage frame(screen.size(), QImage::Format_RGB32);
    display::Board board;
    board.qr = "upi://pay?pa=shop@upi&pn=Shop&am=12.5&cu=INR";
    screen.Show(board);
    RenderDrawn(screen, frame);
    EXPECT_EQ(ReadQrCode(frame, Png("alone")), board.qr);
    const int alone = screen.CodePlacement().code.width();
    screen.Show(Sale(15));
    RenderDrawn(screen, frame);
    EXPECT_LT(screen.CodePlacement().code.width(), alone) << "beside a sale it leaves it room";

    display::Board next = Sale(15);
    protocol::Message text;
    text.text = "Merci";
    next.Apply(text);
    screen.Show(next);
    RenderDrawn(screen, frame);
    EXPECT_EQ(ReadQrCode(frame, Png("after-text")), "");
    EXPECT_TRUE(screen.CodePlacement().code.isEmpty());
}

}  // namespace

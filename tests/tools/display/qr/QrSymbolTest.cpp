// The QR code symbols every output draws: the error correction level and version written in
// the symbol itself, and the page's SVG module for module the same symbol.

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "qr/QrSvg.h"
#include "qr/QrSymbol.h"

namespace {

using display::QrSymbol;

// The error correction level a symbol's format information says, read from its copy around
// the top-left finder (0 M, 1 L, 2 H, 3 Q, as the two bits are written); nothing when the 15
// bits are none of the 32 valid format words.
std::optional<int> LevelBits(const QrSymbol& symbol) {
    int read = 0;
    const auto bit = [&](int x, int y) { read = (read << 1) | (symbol.Dark(x, y) ? 1 : 0); };
    for (int x = 0; x < 6; ++x)
        bit(x, 8);
    bit(7, 8);
    bit(8, 8);
    bit(8, 7);
    for (int y = 5; y >= 0; --y)
        bit(8, y);
    for (int data = 0; data < 32; ++data) {
        // BCH(15,5) with the generator 10100110111, then the fixed mask 101010000010010.
        int rest = data << 10;
        for (int i = 14; i >= 10; --i) {
            if ((rest >> i) & 1) rest ^= 0x537 << (i - 10);
        }
        if ((((data << 10) | rest) ^ 0x5412) == read) return data >> 3;
    }
    return std::nullopt;
}

int Version(const QrSymbol& symbol) {
    return (symbol.size() - 17) / 4;
}

// Every code is drawn at level M, in the smallest version: a SEPA code's 331 bytes fit
// version 13, as its rules require.
TEST(QrSymbol, IsLevelMInTheSmallestVersionThatHoldsThePayload) {
    struct Case {
        const char* name;
        std::string payload;
        int mostVersion;
    };
    const Case cases[] = {
        {"a short link", "upi://pay?pa=a@b&pn=N&am=1&cu=INR", 3},
        {"a SEPA code's longest payload", std::string(331, 'x'), 13},
        {"line breaks and UTF-8",
         "BCD\n002\n1\nSCT\n\nFr\xC3\xA9"
         "d\xC3\xA9ric",
         3},
        {"the longest payload a code holds", std::string(2331, 'x'), 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto symbol = QrSymbol::Encode(c.payload);
        ASSERT_TRUE(symbol);
        EXPECT_EQ(LevelBits(*symbol), 0) << "not level M";
        EXPECT_LE(Version(*symbol), c.mostVersion);
        EXPECT_EQ(symbol->sideWithQuietZone(), symbol->size() + 8);
    }
    EXPECT_EQ(Version(*QrSymbol::Encode(std::string(332, 'x'))), 14) << "332 bytes need more";
    EXPECT_FALSE(QrSymbol::Encode(std::string(2332, 'x'))) << "past version 40";
    EXPECT_FALSE(QrSymbol::Encode(""));
}

// The SVG is the symbol: its white square the side with the quiet zone, and its path's rows
// of dark runs, offset by the quiet zone, exactly the dark modules.
TEST(QrSvg, DrawsEveryDarkModuleAndNoOther) {
    const auto symbol = QrSymbol::Encode("BCD\n002\n1\nSCT\n\nCroix-Rouge\nBE72000000001616\nEUR1");
    ASSERT_TRUE(symbol);
    const std::string svg = display::QrSvg(*symbol);
    const std::string side = std::to_string(symbol->sideWithQuietZone());
    EXPECT_NE(svg.find("viewBox=\"0 0 " + side + " " + side + "\""), std::string::npos);
    EXPECT_NE(svg.find("<rect width=\"" + side + "\" height=\"" + side + "\" fill=\"#fff\"/>"),
              std::string::npos);
    std::vector<bool> drawn(static_cast<std::size_t>(symbol->size() * symbol->size()));
    const std::regex run(R"(M(\d+) (\d+)h(\d+)v1h-(\d+)z)");
    bool inside = true;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), run); it != std::sregex_iterator();
         ++it) {
        const int x = std::stoi((*it)[1]) - display::kQrQuietZone;
        const int y = std::stoi((*it)[2]) - display::kQrQuietZone;
        const int length = std::stoi((*it)[3]);
        EXPECT_EQ(length, std::stoi((*it)[4]));
        for (int i = 0; i < length; ++i) {
            inside = inside && x + i >= 0 && x + i < symbol->size() && y >= 0 && y < symbol->size();
            if (inside) drawn[static_cast<std::size_t>(y * symbol->size() + x + i)] = true;
        }
    }
    ASSERT_TRUE(inside) << "a run in the quiet zone";
    for (int y = 0; y < symbol->size(); ++y) {
        for (int x = 0; x < symbol->size(); ++x)
            ASSERT_EQ(drawn[static_cast<std::size_t>(y * symbol->size() + x)], symbol->Dark(x, y))
                << x << "," << y;
    }
    EXPECT_EQ(display::QrSvgDataUrl(*symbol).rfind("data:image/svg+xml;base64,PHN2Zy", 0), 0u);
}

}  // namespace

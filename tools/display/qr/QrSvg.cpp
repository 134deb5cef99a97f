#include "QrSvg.h"

#include <array>
#include <cstdint>

namespace display {

namespace {

std::string Base64(const std::string& bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return out;
}

}  // namespace

std::string QrSvg(const QrSymbol& symbol) {
    const std::string side = std::to_string(symbol.sideWithQuietZone());
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + side + " " +
                      side + "\" shape-rendering=\"crispEdges\"><rect width=\"" + side +
                      "\" height=\"" + side + "\" fill=\"#fff\"/><path fill=\"#000\" d=\"";
    // Each run of dark modules in a row is one rectangle: "M x y h n v 1 h -n z".
    for (int y = 0; y < symbol.size(); ++y) {
        for (int x = 0; x < symbol.size();) {
            if (!symbol.Dark(x, y)) {
                ++x;
                continue;
            }
            int run = 1;
            while (x + run < symbol.size() && symbol.Dark(x + run, y))
                ++run;
            svg += "M" + std::to_string(x + kQrQuietZone) + " " + std::to_string(y + kQrQuietZone) +
                   "h" + std::to_string(run) + "v1h-" + std::to_string(run) + "z";
            x += run;
        }
    }
    svg += "\"/></svg>";
    return svg;
}

std::string QrSvgDataUrl(const QrSymbol& symbol) {
    return "data:image/svg+xml;base64," + Base64(QrSvg(symbol));
}

}  // namespace display

#pragma once
// A QR code's modules: the one encoder every output of the display draws from, so that the
// window and the page show the very same symbol for a payload. Plain C++ on libqrencode.
//
// A payload is encoded byte for byte (8-bit mode, no ECI header: the UTF-8 the sender gave is
// what a phone reads back) at error correction level M, the level the SEPA transfer code
// requires and that survives a screen's glare, in the smallest version that holds it.
// Encoding is a pure function of the payload; a symbol is a value, safe to copy and to read
// from any thread.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace display {

// The light margin a reader needs around a symbol, in modules, on every side.
inline constexpr int kQrQuietZone = 4;

class QrSymbol {
  public:
    // The symbol of payload; nothing for an empty payload or one past what a version 40 symbol
    // holds at level M (2331 bytes).
    static std::optional<QrSymbol> Encode(std::string_view payload);

    // Modules a side, without the quiet zone (21 for version 1, 4 more each version).
    int size() const { return size_; }
    // Modules a side with the quiet zone on both sides: what a drawing must give room to.
    int sideWithQuietZone() const { return size_ + 2 * kQrQuietZone; }
    // Whether the module at column x, row y (each from 0 to size() - 1) is dark.
    bool Dark(int x, int y) const { return dark_[static_cast<std::size_t>(y * size_ + x)]; }

  private:
    QrSymbol(int size, std::vector<bool> dark) : size_(size), dark_(std::move(dark)) {}

    int size_;
    std::vector<bool> dark_;  // row after row
};

}  // namespace display

#include "QrSymbol.h"

#include <qrencode.h>

#include <memory>

#include "protocol/Wire.h"

namespace display {

namespace {

struct QrFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

}  // namespace

std::optional<QrSymbol> QrSymbol::Encode(std::string_view payload) {
    if (payload.empty() || payload.size() > protocol::kMaxQrPayloadBytes) return std::nullopt;
    // Version 0: the smallest that holds the payload. 8-bit mode for the whole payload.
    const std::unique_ptr<QRcode, QrFree> code(
        QRcode_encodeData(static_cast<int>(payload.size()),
                          reinterpret_cast<const unsigned char*>(payload.data()), 0, QR_ECLEVEL_M));
    if (!code) return std::nullopt;
    const int size = code->width;
    std::vector<bool> dark(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < dark.size(); ++i)
        dark[i] = (code->data[i] & 1) != 0;  // bit 0: dark; the other bits say what it is part of
    return QrSymbol(size, std::move(dark));
}

}  // namespace display

// The web page server's outside input on any bytes: a request fed to the meter in any
// chunking gets the same verdict as in one piece, and any text becomes a JSON string that
// holds no raw control character and no byte sequence that is not UTF-8.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "board/Json.h"
#include "web/WebBoard.h"
#include "web/WebLimits.h"

namespace {

bool IsCleanJsonString(const std::string& json) {
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') return false;
    for (std::size_t i = 0; i < json.size();) {
        const auto lead = static_cast<unsigned char>(json[i]);
        if (lead < 0x20) return false;
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (lead >= 0x80 && lead < 0xC2) return false;  // stray continuation or overlong
        if (lead > 0xF4 || i + length > json.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(json[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    display::WebLimits limits;
    limits.maxRequestBytes = 512;  // small bounds, so that inputs reach them
    limits.maxHeadLines = 8;

    display::RequestMeter whole(limits);
    const display::RequestVerdict once = whole.Feed(bytes);
    display::RequestMeter pieces(limits);
    display::RequestVerdict verdict = display::RequestVerdict::Within;
    // Chunk lengths taken from the input itself: 1 to 8 bytes.
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = 1 + static_cast<unsigned char>(bytes[at]) % 8;
        verdict = pieces.Feed(bytes.substr(at, length));
        at += length;
    }
    if (verdict != once) std::abort();
    // Past a bound the meter stops reading, so where the head ended is only known within.
    if (once == display::RequestVerdict::Within && pieces.headEnded() != whole.headEnded())
        std::abort();

    if (!IsCleanJsonString(display::JsonString(bytes))) std::abort();
    display::Board board;
    board.text = std::string(bytes);
    const std::string event = display::BoardEvent(display::BoardJson(board));
    if (event.find('\n') != event.size() - 2) std::abort();  // one data line, then the end
    return 0;
}

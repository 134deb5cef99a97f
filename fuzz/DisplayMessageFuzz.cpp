// The display's decoding of one message, and the board it updates, on any bytes.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "board/Board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const display::Message message = display::Decode(bytes);
    if (message.colour && (*message.colour < 0 || *message.colour > 15)) std::abort();
    display::Board board;
    board.Apply(message);
    if (board.colour < 0 || board.colour > 15) std::abort();
    (void)display::Hex(bytes);
    return 0;
}

#include "WebBoard.h"

#include "board/Json.h"

namespace display {

std::string BoardJson(const Board& board) {
    const int colour = board.colour >= 0 && board.colour <= 15 ? board.colour : 15;
    return JsonObject()
        .String("text", board.text)
        .String("scroll", board.scroll)
        .String("register", board.registerName)
        .Number("colour", colour)
        .String("rgb", RgbText(PaletteColour(colour)))
        .Text();
}

std::string BoardEvent(std::string_view json) {
    std::string event = "data: ";
    event += json;
    event += "\n\n";
    return event;
}

}  // namespace display

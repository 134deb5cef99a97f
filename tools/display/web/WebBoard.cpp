#include "WebBoard.h"

#include "board/Json.h"

namespace display {

std::string BoardJson(const Board& board) {
    const int colour = board.colour >= 0 && board.colour <= 15 ? board.colour : 15;
    std::string json = "{\"text\":";
    json += JsonString(board.text);
    json += ",\"scroll\":";
    json += JsonString(board.scroll);
    json += ",\"register\":";
    json += JsonString(board.registerName);
    json += ",\"colour\":";
    json += std::to_string(colour);
    json += ",\"rgb\":\"";
    json += RgbText(PaletteColour(colour));
    json += "\"}";
    return json;
}

std::string BoardEvent(std::string_view json) {
    std::string event = "data: ";
    event += json;
    event += "\n\n";
    return event;
}

}  // namespace display

#include "BoardState.h"

#include "Json.h"

namespace display {

std::string StateJson(const SavedBoard& saved) {
    const Board& board = saved.board;
    return JsonObject()
               .Number(kStateFormat, kStateVersion)
               .String("text", board.text)
               .String("scroll", board.scroll)
               .String("register", board.registerName)
               .Number("colour", board.colour)
               .String("total", board.total)
               .String("qr", board.qr)
               .String("qrCaption", board.qrCaption)
               .Number("textSetAt", saved.textSetAtMs)
               .Text() +
           "\n";
}

Board RestoredBoard(const SavedBoard* saved, std::int64_t nowMs, std::int64_t restoreWithinMs,
                    const std::string& welcome) {
    Board board;
    board.text = welcome;
    if (saved == nullptr) return board;
    board.scroll = saved->board.scroll;
    board.registerName = saved->board.registerName;
    board.colour = saved->board.colour;
    const std::int64_t age = nowMs - saved->textSetAtMs;
    if (age >= 0 && age < restoreWithinMs) {
        board.text = saved->board.text;
        board.total = saved->board.total;  // the sale's total comes back with its sale
        board.qr = saved->board.qr;        // and so does its code
        board.qrCaption = saved->board.qrCaption;
    }
    return board;
}

}  // namespace display

#pragma once
// The board as the display keeps it across restarts, and the rule for what comes back at
// start. Plain C++ (no Qt), so the format and the rule are tested on their own; BoardStore
// reads and writes the file.
//
// The state file is one line of JSON:
//   {"afficheur-display":1,"text":"Café","scroll":"Soldes","register":"Caisse 1","colour":15,
//    "total":"TOTAL\t23,70 EUR","qr":"BCD\n002\n...","qrCaption":"Scannez pour payer",
//    "textSetAt":1765400000000}
// textSetAt is when the text (or the sale's total or code) last changed, in milliseconds since
// 1970 (UTC). total, qr and qrCaption are absent from the files of earlier versions, which read
// as none.

#include <cstdint>
#include <string>

#include "Board.h"

namespace display {

// The format's mark and version: a file without it is not ours.
inline constexpr const char* kStateFormat = "afficheur-display";
inline constexpr int kStateVersion = 1;

struct SavedBoard {
    Board board;
    std::int64_t textSetAtMs = 0;
    friend bool operator==(const SavedBoard&, const SavedBoard&) = default;
};

// The state file's line, newline included.
std::string StateJson(const SavedBoard& saved);

// What a display shows at start: the scrolling text, the register's name and the colour come
// back always; the text (with its total and code) only when it is younger than restoreWithinMs at
// nowMs, otherwise (and with nothing saved) the welcome text.
Board RestoredBoard(const SavedBoard* saved, std::int64_t nowMs, std::int64_t restoreWithinMs,
                    const std::string& welcome);

}  // namespace display

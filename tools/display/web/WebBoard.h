#pragma once
// The board as the web page receives it: its JSON text and the server-sent event that carries
// it. Plain C++ (no Qt), so the format can be tested on its own.
//
// The JSON is one line, UTF-8, with the keys in this order:
//   {"text":"Café","scroll":"Soldes","register":"Caisse 1","colour":15,"rgb":"#ffffff",
//    "total":"TOTAL\t23,70 EUR","qr":"BCD\n002\n...","qrCaption":"Scannez pour payer",
//    "qrImage":"data:image/svg+xml;base64,...","qrModules":45}
// qrImage is the QR code of qr drawn as an SVG (qr/QrSvg.h), quiet zone included, and
// qrModules its side in modules; "" and 0 when there is no code (or qr is past what a code
// holds).
// Every update carries the whole board, so a page that missed one is right at the next.

#include <string>
#include <string_view>
#include <vector>

#include "board/Board.h"
#include "board/BoardView.h"

namespace display {

// The board as one line of JSON (see above). A colour outside 0-15, which Board::Apply never
// sets, is written as 15, the starting colour.
std::string BoardJson(const Board& board);

// The answer to /state: the board's fields (as BoardJson) and "outputs", how each output is
// doing: [{"kind":"lcdproc","address":"127.0.0.1:13666","up":false},...].
std::string StateAnswer(const Board& board, const std::vector<OutputState>& outputs);

// The board's JSON (BoardJson) as one server-sent event: "data: <json>\n\n".
std::string BoardEvent(std::string_view json);

}  // namespace display

#pragma once
// What a display takes from the broker: one JSON object per message on its set topics, whose
// keys name the parts of the board to change, turned into the wire format's messages
// (protocol/Wire.h) so that the board changes exactly as it does for a message over TCP.
//
//   {"text":"Café"}                                the text (and the sale's total goes)
//   {"scroll":"Soldes"}  {"register":"Caisse 1"}   the scrolling line, the register's name
//   {"colour":12}                                  the text's colour, a palette index 0-15
//   {"lines":[["Pain","1,20"],["Lait","0,95"]]}    a sale's lines: ITEM<TAB>AMOUNT, one a line
//   {"total":["TOTAL","2,15 EUR"],"change":["RENDU","7,85 EUR"]}   the total and change due
//   {"clear":true}                                 the text, scrolling line and total emptied
//
// Several keys apply in one fixed order (SetKeyTable's), so that the board ends the same
// whatever order the sender wrote them in: clear first, the text before the total it would
// end. The object is taken whole or not at all: any fault refuses it, with the reason.
// Plain functions on Qt Core's JSON reader; no state, safe from any thread.

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "board/Message.h"

namespace display {

// How a key's value is read.
enum class SetValue {
    Text,          // a string
    PaletteIndex,  // a whole number from 0 to 15
    Amount,        // [LABEL, AMOUNT], two strings without TAB or line break
    Lines,         // [[ITEM, AMOUNT], ...], each as Amount
    Code,          // "PAYLOAD" or [PAYLOAD, CAPTION]: a QR code ("" removes it)
    Clear,         // true
    Ask,           // true: a request that changes nothing on the board
};

struct SetKey {
    std::string_view key;
    Kind kind;  // the message it becomes (change joins total's; clear makes several)
    SetValue value;
};

// Every key a set message may hold, in the order they apply. A new kind of the wire format
// is one row here.
std::span<const SetKey> SetKeyTable();

// The messages one set payload makes, in the order they apply; or why it is refused, one line
// for the log. Refused: a payload that is not UTF-8, not one JSON object, an empty object, an
// unknown key, a value of the wrong shape or out of range, both text and lines, change without
// total. Requires nothing of the payload's size: the caller bounds it first.
std::variant<std::vector<Message>, std::string> SetMessages(std::string_view payload);

}  // namespace display

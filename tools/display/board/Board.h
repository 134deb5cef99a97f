#pragma once
// What the display shows: the one state that messages change and every output draws. Plain
// C++.

#include <string>

#include "Message.h"

namespace display {

// What the display shows: the state that messages change. Starts empty, in bright white.
struct Board {
    std::string text;
    std::string scroll;
    std::string registerName;
    int colour = 15;
    // The sale's total and then its change due, each "LABEL<TAB>AMOUNT", one a line; empty
    // when there is none.
    std::string total;

    friend bool operator==(const Board&, const Board&) = default;

    // Applies one message: plain text replaces the text (and ends the sale's total), a
    // scrolling text the scrolling line, a register name the corner, a total the total; a
    // colour that names an index becomes the current colour. An unknown command, a colour
    // that names no index or a total that is not LABEL<TAB>AMOUNT lines changes nothing.
    void Apply(const Message& message);
};

}  // namespace display

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

    friend bool operator==(const Board&, const Board&) = default;

    // Applies one message: plain text replaces the text, a scrolling text the scrolling line,
    // a register name the corner; a colour that names an index becomes the current colour.
    // An unknown command, or a colour that names no index, changes nothing.
    void Apply(const Message& message);
};

}  // namespace display

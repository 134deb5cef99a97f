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
    // While nobody buys: the shop's picture shown now, by its name (the page gets it at
    // /pictures/NAME), or empty. Beside the text it is the shop's logo, above the welcome
    // text; alone, one of the shop's pictures in the text's place. Not kept across restarts:
    // the keeper picks it (see PictureCycle).
    std::string picture{};
    bool pictureAlone = false;

    friend bool operator==(const Board&, const Board&) = default;

    // Applies one message: plain text replaces the text (and ends the sale's total), a
    // scrolling text the scrolling line, a register name the corner, a total the total (a text
    // or a total takes the screen from a picture at once); a
    // colour that names an index becomes the current colour. An unknown command, a colour
    // that names no index or a total that is not LABEL<TAB>AMOUNT lines changes nothing.
    void Apply(const Message& message);

  private:
    void ClearPicture();
};

}  // namespace display

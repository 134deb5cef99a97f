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
    // A QR code shown beside the sale's total (or alone): its payload, drawn as it is, and its
    // caption; an empty payload when there is none. It belongs to its sale: the next text ends
    // it.
    std::string qr{};
    std::string qrCaption{};
    // While nobody buys: the shop's picture shown now, by its name (the page gets it at
    // /pictures/NAME), or empty. Beside the text it is the shop's logo, above the welcome
    // text; alone, one of the shop's pictures in the text's place. Not kept across restarts:
    // the keeper picks it (see PictureCycle).
    std::string picture{};
    bool pictureAlone = false;

    friend bool operator==(const Board&, const Board&) = default;

    // Applies one message: plain text replaces the text (and ends the sale's total and its QR
    // code), a scrolling text the scrolling line, a register name the corner, a total the
    // total, a QR code the code (an empty one removes it); a text or a total takes the screen
    // from a picture at once. A colour that names an index becomes the current colour. An
    // unknown command, a colour that names no index, a total that is not LABEL<TAB>AMOUNT
    // lines or a code that is not CAPTION<LF>PAYLOAD changes nothing, and so does a request to
    // pair a tablet (the keeper passes it on: BoardKeeper::pairAsked).
    void Apply(const Message& message);

  private:
    void ClearPicture();
};

}  // namespace display

#include "Board.h"

namespace display {

void Board::Apply(const Message& message) {
    switch (message.kind) {
        case Kind::Text:
            text = message.text;
            break;
        case Kind::Scroll:
            scroll = message.text;
            break;
        case Kind::Colour:
            if (message.colour) colour = *message.colour;
            break;
        case Kind::Register:
            registerName = message.text;
            break;
        case Kind::Unknown:
            break;
    }
}

}  // namespace display

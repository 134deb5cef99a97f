#include "Board.h"

namespace display {

void Board::ClearPicture() {
    picture.clear();
    pictureAlone = false;
}

void Board::Apply(const Message& message) {
    switch (message.kind) {
        case Kind::Text:
            text = message.text;
            total.clear();  // a new sale, or a text: the last sale's total goes
            ClearPicture();
            qr.clear();  // and so does its code: a payment code never outlives its sale
            qrCaption.clear();
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
        case Kind::Total:
            if (message.amounts) {
                ClearPicture();
                total.clear();
                for (const protocol::Amount& amount : *message.amounts)
                    total += (total.empty() ? "" : "\n") + amount.label + '\t' + amount.amount;
            }
            break;
        case Kind::Qr:
            if (message.qr) {
                qr = message.qr->payload;
                qrCaption = qr.empty() ? std::string() : message.qr->caption;
            }
            break;
        case Kind::Pair:  // asks the window for the page's address: not the board's
        case Kind::Unknown:
            break;
    }
}

}  // namespace display

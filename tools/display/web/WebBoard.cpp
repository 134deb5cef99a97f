#include "WebBoard.h"

#include "board/Json.h"
#include "board/Palette.h"
#include "qr/QrSvg.h"

namespace display {

namespace {

JsonObject BoardFields(const Board& board) {
    const int colour = IsPaletteIndex(board.colour) ? board.colour : 15;
    JsonObject fields;
    fields.String("text", board.text)
        .String("scroll", board.scroll)
        .String("register", board.registerName)
        .Number("colour", colour)
        .String("rgb", RgbText(PaletteColour(colour)))
        .String("total", board.total)
        .String("qr", board.qr)
        .String("qrCaption", board.qrCaption)
        .String("picture", board.picture)
        .Bool("pictureAlone", board.pictureAlone);
    // The code drawn here, so that the page's script only shows it.
    const auto symbol = QrSymbol::Encode(board.qr);
    fields.String("qrImage", symbol ? QrSvgDataUrl(*symbol) : std::string())
        .Number("qrModules", symbol ? symbol->sideWithQuietZone() : 0);
    return fields;
}

}  // namespace

std::string BoardJson(const Board& board) {
    return BoardFields(board).Text();
}

std::string StateAnswer(const Board& board, const std::vector<OutputState>& outputs) {
    std::vector<std::string> items;
    for (const OutputState& output : outputs) {
        JsonObject item;
        item.String("kind", output.kind);
        if (!output.address.empty()) item.String("address", output.address);
        items.push_back(item.Bool("up", output.up).Text());
    }
    return BoardFields(board).Raw("outputs", JsonArray(items)).Text();
}

std::string BoardEvent(std::string_view json) {
    std::string event = "data: ";
    event += json;
    event += "\n\n";
    return event;
}

}  // namespace display

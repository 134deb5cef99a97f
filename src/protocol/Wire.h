#pragma once
// The display's wire format, shared by everything that speaks it: the client's window, the
// display program and afficheur-send.
//
// A message is the whole content of one TCP connection: the sender connects, writes it and
// closes, and the display reads until the end. A message whose first byte is 0xFF is a
// command: the next byte names it ('1' scrolling text, '2' colour, '3' register name, '4' a
// sale's total, '5' a QR code, '6' pairing a tablet) and the rest, possibly empty, is its text. Any
// other message is plain text to show. Texts travel in Windows-1252 (what the client sends), or in
// UTF-8 for a display started that way; the 0xFF lead is the same byte in both, since it never
// occurs in UTF-8. Inside the system texts are UTF-8. Plain functions, no state; decoding never
// throws and reads only the bytes given.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// The lead byte of a command message.
inline constexpr char kCommandLead = '\xFF';

enum class Kind {
    Text,      // plain text, shown large in the current colour
    Scroll,    // 0xFF '1' + text: the scrolling line
    Colour,    // 0xFF '2' + text: the colour of the plain text, by palette index
    Register,  // 0xFF '3' + text: the register's name
    Total,     // 0xFF '4' + "LABEL<TAB>AMOUNT" lines: the sale's total, then the change due
    Qr,        // 0xFF '5' + "CAPTION<LF>PAYLOAD": a QR code to scan (a payment), see QrOf
    Pair,      // 0xFF '6', no text: show the display page's address for a tablet to open
    Unknown,   // 0xFF and any other command byte, or 0xFF alone
};

// What a kind's text must be, checked once, when a message is decoded.
enum class Payload {
    Text,     // any text
    Colour,   // a palette index: see ColourIndex
    Amounts,  // empty, or one or two lines of LABEL<TAB>AMOUNT: see AmountsOf
    Qr,       // empty, or a caption line, a line feed and the code's payload: see QrOf
    None,     // nothing: a text after the command is ignored
};

struct KindRow {
    Kind kind;
    std::string_view name;        // as the display's log writes it
    std::optional<char> command;  // the byte after the lead; none for plain text
    Payload payload;
};

// Every kind a sender may send, one row each. A new kind is a row here, its effect on the
// board (the display's Board::Apply) and what each of the display's outputs shows of it; the
// senders, the decoder and the log follow the row.
inline constexpr KindRow kKinds[] = {
    {Kind::Text, "text", std::nullopt, Payload::Text},
    {Kind::Scroll, "scroll", '1', Payload::Text},
    {Kind::Colour, "colour", '2', Payload::Colour},
    {Kind::Register, "register", '3', Payload::Text},
    {Kind::Total, "total", '4', Payload::Amounts},
    {Kind::Qr, "qr", '5', Payload::Qr},
    {Kind::Pair, "pair", '6', Payload::None},
};

// The row of a kind; null for Unknown.
const KindRow* RowOf(Kind kind);

// "text", "scroll", "colour", "register", "total", "qr", "pair", "unknown".
std::string_view KindName(Kind kind);

// The number of colours of the palette the colour message names.
inline constexpr int kPaletteSize = 16;

// Whether number is an index of that palette (0 to 15).
constexpr bool IsPaletteIndex(long long number) {
    return number >= 0 && number < kPaletteSize;
}

// The palette index a colour text names: its leading number (blanks skipped, &H and &O for
// hexadecimal and octal, digits up to the first other character) when that is a whole number
// from 0 to 15; nothing otherwise (" 12" and "&HC" name 12; "16", "-1", "2.5" name none).
std::optional<int> ColourIndex(std::string_view text);

enum class Encoding { Windows1252, Utf8 };

// "windows-1252" (also "cp1252") and "utf-8" (also "utf8"), in any case; nothing otherwise.
std::optional<Encoding> EncodingNamed(std::string_view name);
// "windows-1252" or "utf-8".
std::string_view EncodingName(Encoding encoding);

// The command byte that names a kind ('1' to '6'); nothing for Text and Unknown.
std::optional<char> CommandByte(Kind kind);

// A message as system text (UTF-8), the lead written as U+00FF, for a sender that converts its
// text to Windows-1252 as a whole on the way out (the client's link does). Requires a kind
// other than Unknown.
std::string ComposeText(Kind kind, std::string_view text);

// A message's bytes on the wire: the command lead and byte, then the UTF-8 text in the given
// encoding. In Windows-1252 a character the code page lacks becomes '?' (see Unrepresentable
// to refuse it first). Requires a kind other than Unknown.
std::string Compose(Kind kind, std::string_view text, Encoding encoding);

// A label and its amount, as a sale's total ("TOTAL", "23,70 EUR") or its change due.
struct Amount {
    std::string label;
    std::string amount;
    friend bool operator==(const Amount&, const Amount&) = default;
};

// The amounts a total's text gives: one or two lines (CR, LF or CRLF), each a label, a TAB and
// an amount, with no other TAB; nothing when the text is not that. An empty text gives none,
// and clears a total.
std::optional<std::vector<Amount>> AmountsOf(std::string_view text);

// A QR code for the customer to scan, most often to pay by: its payload, drawn byte for byte
// (UTF-8, as the sender gave it), and a caption shown with it ("Scannez pour payer").
struct QrCode {
    std::string caption;
    std::string payload;
    friend bool operator==(const QrCode&, const QrCode&) = default;
};

// The most bytes a QR code holds at error correction level M (version 40, byte mode), the
// level every code is drawn at.
inline constexpr std::size_t kMaxQrPayloadBytes = 2331;

// The code a code message's text gives. The text is the caption (one line, possibly empty), a
// line feed (LF), then the payload as it is to be drawn, line breaks and all: a payment
// payload often has several lines, a caption never has one, so the first LF is the one that
// ends the caption. An empty text, or an empty payload, gives an empty code, which removes
// the one shown. Nothing when the text is not that: a text without a line feed, or a payload
// longer than a QR code holds (kMaxQrPayloadBytes).
std::optional<QrCode> QrOf(std::string_view text);

// A code message's text: the caption, with any line break in it made a space, a line feed,
// and the payload as it is.
std::string QrText(std::string_view caption, std::string_view payload);

// One message, decoded: after this nothing reads its bytes again.
struct Message {
    Kind kind = Kind::Text;
    std::string text;           // after the command (the whole message for plain text)
    std::optional<int> colour;  // Colour only: the palette index it names, if any
    std::optional<std::vector<Amount>> amounts;  // Total only: its amounts, when well formed
    std::optional<QrCode> qr;                    // Qr only: the code, when well formed
    std::optional<uint8_t> command;              // Unknown only: the command byte, if there is one
};

// One message's bytes as the display reads them, its payload checked by its kind's rule.
// Malformed UTF-8 shows U+FFFD for each bad byte; Windows-1252 maps every byte.
Message Decode(std::string_view bytes, Encoding encoding);

// Bytes in an encoding as UTF-8 text (malformed UTF-8: U+FFFD for each bad byte).
std::string TextOf(std::string_view bytes, Encoding encoding);

// The first character of a UTF-8 text that Windows-1252 cannot hold: its place (1 for the
// first character) and its code point; nothing when every character fits. A malformed byte
// counts as a character that does not fit (code point U+FFFD).
struct Unfit {
    std::size_t position = 0;
    char32_t codePoint = 0;
};
std::optional<Unfit> Unrepresentable(std::string_view text);

}  // namespace protocol

#pragma once
// The payloads a till shows as a QR code for the customer to pay by scanning it: a SEPA credit
// transfer (the European Payments Council's "BCD" code), a UPI payment link and a Pix BR Code.
// Each builder takes the fields as the till has them, checks every one against its scheme's
// rules and returns either the payload, ready to be drawn, or the first rule broken, as one
// line naming the field. The till's software thus needs to know none of the schemes.
//
// What every builder promises:
//   - A returned payload is complete and valid for its scheme as far as the fields can tell:
//     lengths, character sets, check digits, amounts and the scheme's fixed parts. Whether an
//     account, key or address exists is for the bank to say.
//   - The payload is UTF-8 (for UPI and Pix plain ASCII) and ends with no line break.
//   - An error names the first field, in the order of the members of its input, that breaks
//     a rule; "payload" when the fields are each right but together too long.
//   - An empty string is an optional field left out; a required field empty is an error.
//   - Amounts are accepted as the till writes them, "12,50" or "12.50" (digits, then a comma
//     or a dot and one or two decimals); no sign, no spaces, no thousands separators.
//
// Plain functions of their arguments: no input or output, no state, safe from any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace payment {

// Why a payload was not built. code names the builder by the option of afficheur-send that is
// to ask for it ("--pay-sepa", "--pay-upi", "--pay-pix"), field the field as its input names it
// ("IBAN", "name", "amount", ...) or "payload", and rule what the field breaks, in words.
struct PaymentError {
    std::string code;
    std::string field;
    std::string rule;

    // "<code> <field>: <rule>", e.g. "--pay-sepa IBAN: the check digits do not match (mod 97)".
    std::string Line() const;
};

// The payload, or why there is none.
using PaymentPayload = std::variant<std::string, PaymentError>;

// How much of a QR code may be lost and still read. The drawing picks it; the SEPA code's
// rules fix theirs.
enum class QrErrorCorrection { L, M, Q, H };

// --- SEPA credit transfer ---

// The SEPA code is drawn at error correction level M, in a symbol of version 13 at most, which
// holds the 331 bytes its payload may take.
inline constexpr QrErrorCorrection kSepaErrorCorrection = QrErrorCorrection::M;
inline constexpr int kSepaMaxSymbolVersion = 13;
inline constexpr std::size_t kSepaMaxPayloadBytes = 331;

struct SepaTransfer {
    std::string iban{};       // spaces dropped, written upper-case
    std::string name{};       // the beneficiary: 1 to 70 characters, one line
    std::string amount{};     // euros, 0.01 to 999999999.99
    std::string bic{};        // optional: 8 or 11 letters and digits (spaces dropped, upper-cased)
    std::string reference{};  // optional structured reference; not with text
    std::string text{};       // optional remittance text, 1 to 140 characters, one line
};

// The payload of the EPC's QR code for a SEPA credit transfer: version 002, character set 1
// (UTF-8), identification SCT, one element a line (LF), ending with the last element given.
// The purpose and the note to the payer are never written.
//
// IBAN: two letters, two check digits and the account, 15 to 34 letters and digits in all,
// whose check digits hold (ISO 13616, mod 97). BIC: a bank of four letters or digits, a
// country of two letters, a location of two and an optional branch of three letters or
// digits. reference: spaces dropped, upper-cased; a creditor reference (ISO 11649: "RF", two
// check digits and 1 to 21 letters or digits, mod 97) when it starts with "RF", otherwise up
// to 35 letters and digits, which the bank checks. A name or text must be UTF-8 with no
// control character. The amount is written with a dot, without leading zeros or trailing
// zero decimals ("12,50" -> "EUR12.5", "1,00" -> "EUR1"), and the whole in at most 331 bytes.
PaymentPayload SepaTransferPayload(const SepaTransfer& transfer);

// --- UPI ---

struct UpiPayment {
    std::string vpa{};     // the payee's address, name@handle
    std::string name{};    // the payee's name: 1 to 99 characters, one line
    std::string amount{};  // rupees, 0.01 to 999999999.99
    std::string note{};    // optional transaction note: 1 to 50 characters, one line
};

// The UPI payment link "upi://pay?pa=VPA&pn=NAME&am=AMOUNT&cu=INR&tn=NOTE" (tn only with a
// note). vpa: one '@' between two non-empty parts of letters, digits, '.', '-' and '_', at most
// 255 characters, written as given. name and note: UTF-8 with no control character,
// percent-encoded (every byte but the unreserved A-Z a-z 0-9 - . _ ~ as %XX, upper-case hex).
// The amount is written as for SEPA ("12,50" -> "12.5").
PaymentPayload UpiPaymentLink(const UpiPayment& payment);

// --- Pix ---

struct PixPayment {
    std::string key{};     // the receiver's Pix key
    std::string name{};    // the merchant: 1 to 25 characters
    std::string city{};    // the merchant's city: 1 to 15 characters
    std::string amount{};  // optional: reais, 0.01 to 9999999999.99; none lets the payer type it
    std::string txid{};    // optional: 1 to 25 letters and digits
};

// The Pix BR Code of a static QR code (EMV merchant-presented, as the Banco Central do
// Brasil's Pix rules fill it): 00 format 01, 26 the Pix account (GUI "br.gov.bcb.pix" and
// the key), 52 category 0000, 53 currency 986, 54 the amount with two decimals ("12,5" ->
// "12.50") when given, 58 country BR, 59 name, 60 city, 62 with the TXID in 05 ("***" when
// none), and 63 the CRC-16 of everything before it, "6304" included, as four upper-case hex
// digits.
//
// key: a CPF (11 digits) or a CNPJ (12 letters or digits, then 2 digits) whose check digits
// hold, a phone number ("+", then 3 to 15 digits, the first not 0), an e-mail address or a
// random key (8-4-4-4-12 hex digits); 77 characters at most, written as given. name and city:
// UTF-8 whose Latin-1 accented letters are written without their accents ("São Paulo" ->
// "Sao Paulo"), which must then be printable ASCII; the lengths count the letters written.
PaymentPayload PixPayload(const PixPayment& payment);

// CRC-16/CCITT-FALSE of bytes: polynomial 0x1021, initial value 0xFFFF, no reflection, no
// final XOR ("123456789" -> 0x29B1). The check of the Pix payload.
std::uint16_t Crc16CcittFalse(std::string_view bytes);

}  // namespace payment

#include "PaymentCodes.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "common/Utf8.h"

namespace payment {

namespace {

constexpr std::string_view kSepaCode = "--pay-sepa";
constexpr std::string_view kUpiCode = "--pay-upi";
constexpr std::string_view kPixCode = "--pay-pix";

// The largest amounts, in hundredths: 999999999.99 for SEPA (and UPI, which sets none of its
// own), 9999999999.99 for Pix, the 13 characters of the BR Code's amount.
constexpr std::int64_t kMostSepaCents = 999'999'999'99;
constexpr std::int64_t kMostUpiCents = kMostSepaCents;
constexpr std::int64_t kMostPixCents = 9'999'999'999'99;

// The Pix account's globally unique identifier, in the case the Banco Central do Brasil's
// manual writes it in its examples.
constexpr std::string_view kPixGui = "br.gov.bcb.pix";

constexpr std::string_view kHex = "0123456789ABCDEF";

// A field's verdict: nothing when it keeps the rules, otherwise the rule it breaks.
using Broken = std::optional<std::string>;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool IsLetter(char c) {
    return IsUpper(c) || (c >= 'a' && c <= 'z');
}

bool IsLetterOrDigit(char c) {
    return IsLetter(c) || IsDigit(c);
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <typename Predicate>
bool All(std::string_view text, Predicate predicate) {
    for (char c : text) {
        if (!predicate(c)) return false;
    }
    return true;
}

// The text without its spaces, ASCII letters upper-cased: an IBAN, BIC or reference as
// written on paper becomes the form a code holds.
std::string Compact(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ' ') continue;
        out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return out;
}

std::string TooLong(std::size_t most, std::size_t length, std::string_view unit) {
    return "at most " + std::to_string(most) + " " + std::string(unit) + ", not " +
           std::to_string(length);
}

// A one-line text of up to `most` characters: UTF-8 with no control character (C0, DEL or
// C1), so that it cannot end an element or a line of the code.
Broken CheckLine(std::string_view text, std::size_t most) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(text, i, &cp);
        if (length == 0) return "is not UTF-8";
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
            return "must be one line with no control characters";
        }
        i += length;
        ++characters;
    }
    if (characters > most) return TooLong(most, characters, "characters");
    return std::nullopt;
}

// --- Amounts ---

// An amount in hundredths, from "12,50", "12.50", "12.5" or "12".
struct Amount {
    std::int64_t cents = 0;
};

// "12.50", "1.00": always two decimals.
std::string TwoDecimals(Amount amount) {
    const auto cents = static_cast<int>(amount.cents % 100);
    return std::to_string(amount.cents / 100) + "." + static_cast<char>('0' + cents / 10) +
           static_cast<char>('0' + cents % 10);
}

// The amount a text writes, or the rule it breaks: at least 0.01, at most mostCents.
std::variant<Amount, std::string> ReadAmount(std::string_view text, std::int64_t mostCents) {
    const std::size_t mark = text.find_first_of(".,");
    const std::string_view whole = text.substr(0, mark);
    const std::string_view decimals =
        mark == std::string_view::npos ? std::string_view{} : text.substr(mark + 1);
    if (whole.empty() || !All(whole, IsDigit) ||
        (mark != std::string_view::npos && (decimals.empty() || !All(decimals, IsDigit)))) {
        return std::string("must be digits, then a comma or a dot and the cents (12,50 or 12.50)");
    }
    if (decimals.size() > 2) return std::string("at most two decimals");
    const std::string range = "must be from 0.01 to " + TwoDecimals(Amount{mostCents});
    const std::string_view significant =
        whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    if (significant.size() > 15) return range;  // far beyond every limit, and no overflow
    std::int64_t cents = 0;
    for (char c : significant) {
        cents = cents * 10 + (c - '0');
    }
    cents *= 100;
    if (!decimals.empty()) cents += (decimals[0] - '0') * 10;
    if (decimals.size() == 2) cents += decimals[1] - '0';
    if (cents < 1 || cents > mostCents) return range;
    return Amount{cents};
}

// "12.5", "1", "0.05": no leading zeros, no trailing zero decimals, no dot for a whole amount.
std::string ShortestDecimal(Amount amount) {
    std::string out = std::to_string(amount.cents / 100);
    const auto cents = static_cast<int>(amount.cents % 100);
    if (cents != 0) {
        out += '.';
        out += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0) out += static_cast<char>('0' + cents % 10);
    }
    return out;
}

// --- Check digits ---

// The remainder mod 97 of a text of letters and digits, each letter read as two digits
// (A = 10 ... Z = 35), as ISO 7064 MOD 97-10 reads an IBAN or a creditor reference.
int Mod97(std::string_view text) {
    int remainder = 0;
    for (char c : text) {
        if (IsDigit(c)) {
            remainder = (remainder * 10 + (c - '0')) % 97;
        } else {
            remainder = (remainder * 100 + (c - 'A' + 10)) % 97;
        }
    }
    return remainder;
}

// Moves the first four characters to the end, where MOD 97-10 wants the check digits.
std::string Rotated(std::string_view text) {
    return std::string(text.substr(4)) + std::string(text.substr(0, 4));
}

// --- SEPA ---

Broken CheckIban(std::string_view iban) {
    if (iban.empty()) return "is required";
    if (!All(iban, [](char c) { return IsUpper(c) || IsDigit(c); })) {
        return "only letters and digits (spaces are dropped)";
    }
    if (iban.size() < 15 || iban.size() > 34) {
        return "must be 15 to 34 letters and digits, not " + std::to_string(iban.size());
    }
    if (!IsUpper(iban[0]) || !IsUpper(iban[1]) || !IsDigit(iban[2]) || !IsDigit(iban[3])) {
        return "must start with the country's two letters and two check digits";
    }
    if (Mod97(Rotated(iban)) != 1) return "the check digits do not match (mod 97)";
    return std::nullopt;
}

Broken CheckBic(std::string_view bic) {
    if (bic.size() != 8 && bic.size() != 11) {
        return "must be 8 or 11 letters and digits, not " + std::to_string(bic.size());
    }
    const auto letterOrDigit = [](char c) { return IsUpper(c) || IsDigit(c); };
    if (!All(bic.substr(0, 4), letterOrDigit) || !All(bic.substr(4, 2), IsUpper) ||
        !All(bic.substr(6), letterOrDigit)) {
        return "must be the bank (4 letters or digits), the country (2 letters), the location "
               "(2 letters or digits) and maybe the branch (3)";
    }
    return std::nullopt;
}

Broken CheckReference(std::string_view reference) {
    if (!All(reference, [](char c) { return IsUpper(c) || IsDigit(c); })) {
        return "only letters and digits (spaces are dropped)";
    }
    if (!reference.starts_with("RF")) {
        if (reference.size() > 35) return TooLong(35, reference.size(), "letters and digits");
        return std::nullopt;
    }
    if (reference.size() < 5 || reference.size() > 25 || !IsDigit(reference[2]) ||
        !IsDigit(reference[3])) {
        return "a creditor reference is RF, two check digits and 1 to 21 letters or digits";
    }
    if (Mod97(Rotated(reference)) != 1) return "the check digits do not match (mod 97)";
    return std::nullopt;
}

// --- Pix ---

// The check digit of the digits (or, in a CNPJ, letters read as their code minus '0') with
// the weights given: 0 when the sum leaves less than 2 over 11, otherwise 11 less the rest.
int Mod11Digit(std::string_view text, std::span<const int> weights) {
    int sum = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        sum += (text[i] - '0') * weights[i];
    }
    const int rest = sum % 11;
    return rest < 2 ? 0 : 11 - rest;
}

bool CpfDigitsHold(std::string_view cpf) {
    static constexpr std::array<int, 10> kWeights{11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    return Mod11Digit(cpf.substr(0, 9), std::span(kWeights).subspan(1)) == cpf[9] - '0' &&
           Mod11Digit(cpf.substr(0, 10), kWeights) == cpf[10] - '0';
}

bool CnpjDigitsHold(std::string_view cnpj) {
    static constexpr std::array<int, 13> kWeights{6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    return Mod11Digit(cnpj.substr(0, 12), std::span(kWeights).subspan(1)) == cnpj[12] - '0' &&
           Mod11Digit(cnpj.substr(0, 13), kWeights) == cnpj[13] - '0';
}

bool IsPhoneKey(std::string_view key) {
    return key.size() >= 4 && key.size() <= 16 && key[0] == '+' && key[1] != '0' &&
           All(key.substr(1), IsDigit);
}

bool IsEmailKey(std::string_view key) {
    const std::size_t at = key.find('@');
    if (at == std::string_view::npos || at == 0 ||
        key.find('@', at + 1) != std::string_view::npos) {
        return false;
    }
    const std::string_view domain = key.substr(at + 1);
    const std::size_t dot = domain.find('.');
    return dot != std::string_view::npos && dot != 0 && !domain.ends_with('.') &&
           All(key, [](char c) { return c > ' ' && c < 0x7F; });
}

bool IsRandomKey(std::string_view key) {
    if (key.size() != 36) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? key[i] != '-' : !IsHexDigit(key[i])) return false;
    }
    return true;
}

Broken CheckPixKey(std::string_view key) {
    if (key.empty()) return "is required";
    if (key.size() > 77) return TooLong(77, key.size(), "characters");
    if (key.size() == 11 && All(key, IsDigit)) {
        if (!CpfDigitsHold(key)) return "the CPF's check digits do not match";
        return std::nullopt;
    }
    if (key.size() == 14 &&
        All(key.substr(0, 12), [](char c) { return IsUpper(c) || IsDigit(c); }) &&
        All(key.substr(12), IsDigit)) {
        if (!CnpjDigitsHold(key)) return "the CNPJ's check digits do not match";
        return std::nullopt;
    }
    if (IsPhoneKey(key) || IsEmailKey(key) || IsRandomKey(key)) return std::nullopt;
    return "must be a CPF, a CNPJ, a phone number (+ and the digits), an e-mail address or a "
           "random key";
}

// Latin-1's letters U+00C0 to U+00FF without their accents; empty for the two signs among
// them, U+00D7 (multiplication) and U+00F7 (division).
constexpr std::array<std::string_view, 64> kUnaccented{
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",
    "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y"};

// A name or city as the BR Code holds it, into *out: printable ASCII, accents dropped.
Broken MerchantText(std::string_view text, std::size_t most, std::string* out) {
    if (text.empty()) return "is required";
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(text, i, &cp);
        if (length == 0) return "is not UTF-8";
        if (cp >= 0x20 && cp < 0x7F) {
            out->push_back(static_cast<char>(cp));
        } else if (cp >= 0xC0 && cp <= 0xFF && !kUnaccented[cp - 0xC0].empty()) {
            *out += kUnaccented[cp - 0xC0];
        } else {
            return "only ASCII letters, digits, spaces and punctuation (accents are dropped)";
        }
        i += length;
    }
    if (out->size() > most) return TooLong(most, out->size(), "characters");
    return std::nullopt;
}

// An EMV data object: its ID, its value's length in two digits, its value (at most 99).
std::string Tlv(std::string_view id, std::string_view value) {
    const std::size_t length = value.size();
    std::string out(id);
    out += static_cast<char>('0' + length / 10);
    out += static_cast<char>('0' + length % 10);
    out += value;
    return out;
}

// --- UPI ---

Broken CheckVpa(std::string_view vpa) {
    if (vpa.empty()) return "is required";
    if (vpa.size() > 255) return TooLong(255, vpa.size(), "characters");
    const std::size_t at = vpa.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == vpa.size() ||
        vpa.find('@', at + 1) != std::string_view::npos) {
        return "must be name@handle";
    }
    const auto allowed = [](char c) {
        return IsLetterOrDigit(c) || c == '.' || c == '-' || c == '_';
    };
    if (!All(vpa.substr(0, at), allowed) || !All(vpa.substr(at + 1), allowed)) {
        return "only letters, digits, '.', '-' and '_' around the '@'";
    }
    return std::nullopt;
}

// Every byte but RFC 3986's unreserved characters as %XX.
std::string PercentEncoded(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (IsLetterOrDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

}  // namespace

std::string PaymentError::Line() const {
    return code + " " + field + ": " + rule;
}

PaymentPayload SepaTransferPayload(const SepaTransfer& transfer) {
    const auto refuse = [](std::string field, std::string rule) {
        return PaymentPayload(
            PaymentError{std::string(kSepaCode), std::move(field), std::move(rule)});
    };
    const std::string iban = Compact(transfer.iban);
    if (Broken broken = CheckIban(iban)) return refuse("IBAN", *broken);
    if (transfer.name.empty()) return refuse("name", "is required");
    if (Broken broken = CheckLine(transfer.name, 70)) return refuse("name", *broken);
    if (transfer.amount.empty()) return refuse("amount", "is required");
    const auto amount = ReadAmount(transfer.amount, kMostSepaCents);
    if (const auto* rule = std::get_if<std::string>(&amount)) return refuse("amount", *rule);
    const std::string bic = Compact(transfer.bic);
    if (!bic.empty()) {
        if (Broken broken = CheckBic(bic)) return refuse("BIC", *broken);
    }
    const std::string reference = Compact(transfer.reference);
    if (!reference.empty()) {
        if (Broken broken = CheckReference(reference)) return refuse("reference", *broken);
    }
    if (!transfer.text.empty()) {
        if (Broken broken = CheckLine(transfer.text, 140)) return refuse("text", *broken);
        if (!reference.empty()) return refuse("text", "a reference or a text, not both");
    }

    // Service tag, version, character set, identification, BIC, name, IBAN, amount, purpose,
    // reference, text; nothing after the last element given.
    const std::string euros = "EUR" + ShortestDecimal(std::get<Amount>(amount));
    std::vector<std::string_view> elements{
        "BCD", "002", "1", "SCT", bic, transfer.name, iban, euros, "", reference, transfer.text};
    while (elements.back().empty()) {
        elements.pop_back();
    }
    std::string payload;
    for (std::string_view element : elements) {
        if (!payload.empty()) payload += '\n';
        payload += element;
    }
    if (payload.size() > kSepaMaxPayloadBytes) {
        return refuse("payload", std::to_string(payload.size()) + " bytes, more than the " +
                                     std::to_string(kSepaMaxPayloadBytes) + " a code holds");
    }
    return payload;
}

PaymentPayload UpiPaymentLink(const UpiPayment& payment) {
    const auto refuse = [](std::string field, std::string rule) {
        return PaymentPayload(
            PaymentError{std::string(kUpiCode), std::move(field), std::move(rule)});
    };
    if (Broken broken = CheckVpa(payment.vpa)) return refuse("VPA", *broken);
    if (payment.name.empty()) return refuse("name", "is required");
    if (Broken broken = CheckLine(payment.name, 99)) return refuse("name", *broken);
    if (payment.amount.empty()) return refuse("amount", "is required");
    const auto amount = ReadAmount(payment.amount, kMostUpiCents);
    if (const auto* rule = std::get_if<std::string>(&amount)) return refuse("amount", *rule);
    if (!payment.note.empty()) {
        if (Broken broken = CheckLine(payment.note, 50)) return refuse("note", *broken);
    }

    std::string link = "upi://pay?pa=" + payment.vpa + "&pn=" + PercentEncoded(payment.name) +
                       "&am=" + ShortestDecimal(std::get<Amount>(amount)) + "&cu=INR";
    if (!payment.note.empty()) link += "&tn=" + PercentEncoded(payment.note);
    return link;
}

PaymentPayload PixPayload(const PixPayment& payment) {
    const auto refuse = [](std::string field, std::string rule) {
        return PaymentPayload(
            PaymentError{std::string(kPixCode), std::move(field), std::move(rule)});
    };
    if (Broken broken = CheckPixKey(payment.key)) return refuse("key", *broken);
    std::string name;
    if (Broken broken = MerchantText(payment.name, 25, &name)) return refuse("name", *broken);
    std::string city;
    if (Broken broken = MerchantText(payment.city, 15, &city)) return refuse("city", *broken);
    std::optional<Amount> amount;
    if (!payment.amount.empty()) {
        const auto read = ReadAmount(payment.amount, kMostPixCents);
        if (const auto* rule = std::get_if<std::string>(&read)) return refuse("amount", *rule);
        amount = std::get<Amount>(read);
    }
    if (payment.txid.size() > 25) {
        return refuse("TXID", TooLong(25, payment.txid.size(), "characters"));
    }
    if (!All(payment.txid, IsLetterOrDigit)) {
        return refuse("TXID", "only letters and digits (A-Z, a-z, 0-9)");
    }

    std::string payload = Tlv("00", "01");
    payload += Tlv("26", Tlv("00", kPixGui) + Tlv("01", payment.key));
    payload += Tlv("52", "0000");
    payload += Tlv("53", "986");
    if (amount) payload += Tlv("54", TwoDecimals(*amount));
    payload += Tlv("58", "BR");
    payload += Tlv("59", name);
    payload += Tlv("60", city);
    payload += Tlv("62", Tlv("05", payment.txid.empty() ? "***" : payment.txid));
    payload += "6304";
    const std::uint16_t crc = Crc16CcittFalse(payload);
    for (int shift = 12; shift >= 0; shift -= 4) {
        payload += kHex[(crc >> shift) & 0x0F];
    }
    return payload;
}

std::uint16_t Crc16CcittFalse(std::string_view bytes) {
    std::uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(c) << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

}  // namespace payment

// The payment codes' payloads: each builder against the examples published with its scheme,
// byte for byte, the fields as a till writes them, and one table of the rules it refuses by.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <variant>

#include "PaymentCodes.h"

namespace {

using payment::PaymentPayload;

// The payload built; a refusal fails the test with its line.
std::string PayloadOf(const PaymentPayload& built) {
    if (const auto* error = std::get_if<payment::PaymentError>(&built)) {
        ADD_FAILURE() << "refused: " << error->Line();
        return {};
    }
    return std::get<std::string>(built);
}

// The refusal's line, or what was built instead.
std::string RefusalOf(const PaymentPayload& built) {
    if (const auto* error = std::get_if<payment::PaymentError>(&built)) return error->Line();
    return "built " + std::get<std::string>(built);
}

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// --- CRC-16/CCITT-FALSE ---

TEST(PaymentCrc, MatchesItsCheckValueAndThePublishedPixCode) {
    const struct {
        std::string bytes;
        std::uint16_t crc;
    } cases[] = {
        {"123456789", 0x29B1},  // the algorithm's catalogued check value
        {"", 0xFFFF},           // nothing read: the initial value
        // The static example of the Banco Central do Brasil's Pix manual up to its "6304"; the
        // manual prints the CRC after it.
        {"00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-426655440000520400005303986"
         "5802BR5913Fulano de Tal6008BRASILIA62070503***6304",
         0x1D3D},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(payment::Crc16CcittFalse(c.bytes), c.crc) << c.bytes;
    }
}

// --- SEPA credit transfer ---

// The European Payments Council's sample (a euro to the Belgian Red Cross), with the BIC,
// name, IBAN, amount and text it gives.
payment::SepaTransfer RedCross() {
    return {.iban = "BE72000000001616",
            .name = "Red Cross of Belgium",
            .amount = "1",
            .bic = "BPOTBEB1",
            .text = "Urgency fund"};
}

TEST(PaymentSepa, BuildsThePublishedSample) {
    // The sample as published is version 001, with the purpose CHAR and a note to the payer
    // as a twelfth element:
    //   "BCD\n001\n1\nSCT\nBPOTBEB1\nRed Cross of Belgium\nBE72000000001616\nEUR1\nCHAR\n\n"
    //   "Urgency fund\nSample EPC QR code"
    // The builder writes version 002 and neither purpose nor note; the rest is the same bytes.
    EXPECT_EQ(PayloadOf(payment::SepaTransferPayload(RedCross())),
              "BCD\n002\n1\nSCT\nBPOTBEB1\nRed Cross of Belgium\nBE72000000001616\nEUR1\n\n\n"
              "Urgency fund");
}

TEST(PaymentSepa, EndsWithTheLastElementGiven) {
    const std::string head = "BCD\n002\n1\nSCT\n";
    const struct {
        const char* name;
        payment::SepaTransfer transfer;
        std::string payload;
    } cases[] = {
        {"no BIC, reference or text: the amount is last",
         {.iban = "BE72000000001616", .name = "Croix-Rouge", .amount = "1"},
         head + "\nCroix-Rouge\nBE72000000001616\nEUR1"},
        {"a reference: the empty purpose before it, no text line after it",
         {.iban = "BE72000000001616",
          .name = "Croix-Rouge",
          .amount = "1",
          .reference = "RF18539007547034"},
         head + "\nCroix-Rouge\nBE72000000001616\nEUR1\n\nRF18539007547034"},
        {"a text: empty purpose and reference before it",
         {.iban = "BE72000000001616", .name = "Croix-Rouge", .amount = "1", .text = "Merci"},
         head + "\nCroix-Rouge\nBE72000000001616\nEUR1\n\n\nMerci"},
        {"as written on paper: spaces dropped, letters upper-cased; UTF-8 kept",
         {.iban = "de89 3704 0044 0532 0130 00",
          .name = "Caf\xC3\xA9 du Nord",
          .amount = "12,50",
          .bic = "cobadeff xxx",
          .reference = "rf18 5390 0754 7034"},
         head + "COBADEFFXXX\nCaf\xC3\xA9 du Nord\nDE89370400440532013000\nEUR12.5\n\n"
                "RF18539007547034"},
        {"an IBAN with letters in the account, a reference of another scheme",
         {.iban = "GB29 NWBK 6016 1331 9268 19",
          .name = "Shop",
          .amount = "3",
          .reference = "1234567890123456789012345678901234A"},
         head + "\nShop\nGB29NWBK60161331926819\nEUR3\n\n1234567890123456789012345678901234A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PayloadOf(payment::SepaTransferPayload(c.transfer)), c.payload) << c.name;
    }
}

TEST(PaymentSepa, WritesAmountsWithADotAndNoNeedlessZeros) {
    const struct {
        const char* amount;
        const char* written;
    } cases[] = {
        {"12,50", "EUR12.5"}, {"12.50", "EUR12.5"},
        {"12,5", "EUR12.5"},  {"1,00", "EUR1"},
        {"7", "EUR7"},        {"0,01", "EUR0.01"},
        {"0.10", "EUR0.1"},   {"1,05", "EUR1.05"},
        {"007.30", "EUR7.3"}, {"999999999,99", "EUR999999999.99"},
    };
    for (const auto& c : cases) {
        auto transfer = RedCross();
        transfer.amount = c.amount;
        transfer.text.clear();
        EXPECT_EQ(
            PayloadOf(payment::SepaTransferPayload(transfer)),
            std::string("BCD\n002\n1\nSCT\nBPOTBEB1\nRed Cross of Belgium\nBE72000000001616\n") +
                c.written)
            << c.amount;
    }
}

TEST(PaymentSepa, HoldsAPayloadOfExactly331Bytes) {
    // 40 bytes around a name of 70 and a text of 140 characters, 221 bytes (81 two-byte 'é').
    auto transfer = RedCross();
    transfer.bic.clear();
    transfer.name = std::string(70, 'n');
    transfer.text = Repeated("\xC3\xA9", 81) + std::string(59, 't');
    EXPECT_EQ(PayloadOf(payment::SepaTransferPayload(transfer)).size(), 331u);
}

// The example IBANs published with ISO 13616 and by the EPC, in their paper form (groups of
// four) and their electronic one, hold their mod-97 check digits; the EPC's creditor reference
// example (ISO 11649) holds its own.
TEST(PaymentSepa, TakesTheStandardsOwnExamples) {
    const struct {
        const char* iban;
        const char* written;
    } cases[] = {
        {"GB29 NWBK 6016 1331 9268 19", "GB29NWBK60161331926819"},
        {"DE89 3704 0044 0532 0130 00", "DE89370400440532013000"},
        {"FR14 2004 1010 0505 0001 3M02 606", "FR1420041010050500013M02606"},
        {"be72000000001616", "BE72000000001616"},
    };
    for (const auto& c : cases) {
        auto transfer = RedCross();
        transfer.iban = c.iban;
        transfer.text.clear();
        transfer.reference = "RF18 5390 0754 7034";
        const std::string payload = PayloadOf(payment::SepaTransferPayload(transfer));
        EXPECT_NE(payload.find(std::string("\n") + c.written + "\nEUR1\n\nRF18539007547034"),
                  std::string::npos)
            << c.iban << ": " << payload;
    }
}

TEST(PaymentSepa, RefusesByItsRules) {
    const struct {
        const char* name;
        void (*change)(payment::SepaTransfer&);
        const char* line;
    } cases[] = {
        {"wrong IBAN check digits", [](auto& t) { t.iban = "BE73000000001616"; },
         "--pay-sepa IBAN: the check digits do not match (mod 97)"},
        {"no IBAN", [](auto& t) { t.iban = " "; }, "--pay-sepa IBAN: is required"},
        {"IBAN with a dash", [](auto& t) { t.iban = "BE72-0000-0000-1616"; },
         "--pay-sepa IBAN: only letters and digits (spaces are dropped)"},
        {"IBAN too short", [](auto& t) { t.iban = "BE7200000"; },
         "--pay-sepa IBAN: must be 15 to 34 letters and digits, not 9"},
        {"IBAN too long", [](auto& t) { t.iban = "BE72" + std::string(31, '0'); },
         "--pay-sepa IBAN: must be 15 to 34 letters and digits, not 35"},
        {"IBAN without a country", [](auto& t) { t.iban = "1272000000001616"; },
         "--pay-sepa IBAN: must start with the country's two letters and two check digits"},
        {"no name", [](auto& t) { t.name.clear(); }, "--pay-sepa name: is required"},
        {"name too long", [](auto& t) { t.name = std::string(71, 'n'); },
         "--pay-sepa name: at most 70 characters, not 71"},
        {"name on two lines", [](auto& t) { t.name = "Red Cross\nof Belgium"; },
         "--pay-sepa name: must be one line with no control characters"},
        {"name not UTF-8", [](auto& t) { t.name = "Caf\xE9"; }, "--pay-sepa name: is not UTF-8"},
        {"no amount", [](auto& t) { t.amount.clear(); }, "--pay-sepa amount: is required"},
        {"amount with three decimals", [](auto& t) { t.amount = "12.345"; },
         "--pay-sepa amount: at most two decimals"},
        {"amount zero", [](auto& t) { t.amount = "0,00"; },
         "--pay-sepa amount: must be from 0.01 to 999999999.99"},
        {"amount too large", [](auto& t) { t.amount = "1000000000"; },
         "--pay-sepa amount: must be from 0.01 to 999999999.99"},
        {"amount far too large", [](auto& t) { t.amount = std::string(40, '9'); },
         "--pay-sepa amount: must be from 0.01 to 999999999.99"},
        {"negative amount", [](auto& t) { t.amount = "-5"; },
         "--pay-sepa amount: must be digits, then a comma or a dot and the cents (12,50 or "
         "12.50)"},
        {"amount with thousands", [](auto& t) { t.amount = "1.000,50"; },
         "--pay-sepa amount: must be digits, then a comma or a dot and the cents (12,50 or "
         "12.50)"},
        {"amount with nothing before its dot", [](auto& t) { t.amount = ".50"; },
         "--pay-sepa amount: must be digits, then a comma or a dot and the cents (12,50 or "
         "12.50)"},
        {"BIC of 7", [](auto& t) { t.bic = "BPOTBEB"; },
         "--pay-sepa BIC: must be 8 or 11 letters and digits, not 7"},
        {"BIC of 9", [](auto& t) { t.bic = "BPOTBEB1X"; },
         "--pay-sepa BIC: must be 8 or 11 letters and digits, not 9"},
        {"BIC with digits for its country", [](auto& t) { t.bic = "BPOT12B1"; },
         "--pay-sepa BIC: must be the bank (4 letters or digits), the country (2 letters), the "
         "location (2 letters or digits) and maybe the branch (3)"},
        {"wrong creditor reference check digits",
         [](auto& t) {
             t.text.clear();
             t.reference = "RF19 5390 0754 7034";
         },
         "--pay-sepa reference: the check digits do not match (mod 97)"},
        {"creditor reference too long",
         [](auto& t) {
             t.text.clear();
             t.reference = "RF18" + std::string(22, '1');
         },
         "--pay-sepa reference: a creditor reference is RF, two check digits and 1 to 21 "
         "letters or digits"},
        {"other reference too long",
         [](auto& t) {
             t.text.clear();
             t.reference = std::string(36, '1');
         },
         "--pay-sepa reference: at most 35 letters and digits, not 36"},
        {"reference with a dash",
         [](auto& t) {
             t.text.clear();
             t.reference = "INV-42";
         },
         "--pay-sepa reference: only letters and digits (spaces are dropped)"},
        {"reference and text both given", [](auto& t) { t.reference = "RF18539007547034"; },
         "--pay-sepa text: a reference or a text, not both"},
        {"text too long", [](auto& t) { t.text = std::string(141, 't'); },
         "--pay-sepa text: at most 140 characters, not 141"},
        {"text with a tab", [](auto& t) { t.text = "Urgency\tfund"; },
         "--pay-sepa text: must be one line with no control characters"},
        {"every field right, 332 bytes in all",
         [](auto& t) {
             t.bic.clear();
             t.name = std::string(70, 'n');
             t.text = Repeated("\xC3\xA9", 82) + std::string(58, 't');
         },
         "--pay-sepa payload: 332 bytes, more than the 331 a code holds"},
    };
    for (const auto& c : cases) {
        auto transfer = RedCross();
        c.change(transfer);
        EXPECT_EQ(RefusalOf(payment::SepaTransferPayload(transfer)), c.line) << c.name;
    }
}

// --- UPI ---

TEST(PaymentUpi, BuildsThePublishedSample) {
    // NPCI's linking sample pays nadeem@npci ("nadeem chinna") 10 rupees, noted "Pay to mystar
    // store"; it adds a merchant code, terminal, reference, minimum amount and URL, which the
    // builder does not write, and puts tn before am:
    //   upi://pay?pa=nadeem@npci&pn=nadeem%20chinna&mc=0000&tid=...&tr=...&
    //   tn=Pay%20to%20mystar%20store&am=10&mam=null&cu=INR&url=...
    const payment::UpiPayment sample{.vpa = "nadeem@npci",
                                     .name = "nadeem chinna",
                                     .amount = "10",
                                     .note = "Pay to mystar store"};
    EXPECT_EQ(
        PayloadOf(payment::UpiPaymentLink(sample)),
        "upi://pay?pa=nadeem@npci&pn=nadeem%20chinna&am=10&cu=INR&tn=Pay%20to%20mystar%20store");
}

TEST(PaymentUpi, PercentEncodesTheNameAndNote) {
    const struct {
        payment::UpiPayment payment;
        const char* link;
    } cases[] = {
        {{.vpa = "cafe.nord@okaxis", .name = "Caf\xC3\xA9 & Co", .amount = "12,50"},
         "upi://pay?pa=cafe.nord@okaxis&pn=Caf%C3%A9%20%26%20Co&am=12.5&cu=INR"},
        {{.vpa = "shop_1-a@ybl", .name = "A-z_0.9~", .amount = "0.05", .note = "a+b=c/d?#%"},
         "upi://pay?pa=shop_1-a@ybl&pn=A-z_0.9~&am=0.05&cu=INR&tn=a%2Bb%3Dc%2Fd%3F%23%25"},
        {{.vpa = "1234567890@IFSC0001234.ifsc.npci",
          .name = "\xE0\xA4\xA6\xE0\xA5\x81\xE0\xA4\x95\xE0\xA4\xBE\xE0\xA4\xA8",
          .amount = "250,00",
          .note = "Bill 7"},
         "upi://pay?pa=1234567890@IFSC0001234.ifsc.npci&pn=%E0%A4%A6%E0%A5%81%E0%A4%95%E0%A4%BE"
         "%E0%A4%A8&am=250&cu=INR&tn=Bill%207"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PayloadOf(payment::UpiPaymentLink(c.payment)), c.link);
    }
}

TEST(PaymentUpi, RefusesByItsRules) {
    const struct {
        const char* name;
        void (*change)(payment::UpiPayment&);
        const char* line;
    } cases[] = {
        {"no VPA", [](auto& p) { p.vpa.clear(); }, "--pay-upi VPA: is required"},
        {"VPA without a handle", [](auto& p) { p.vpa = "nadeem"; },
         "--pay-upi VPA: must be name@handle"},
        {"VPA with two '@'", [](auto& p) { p.vpa = "nadeem@npci@upi"; },
         "--pay-upi VPA: must be name@handle"},
        {"VPA without a name", [](auto& p) { p.vpa = "@npci"; },
         "--pay-upi VPA: must be name@handle"},
        {"VPA with a space", [](auto& p) { p.vpa = "nadeem chinna@npci"; },
         "--pay-upi VPA: only letters, digits, '.', '-' and '_' around the '@'"},
        {"VPA too long", [](auto& p) { p.vpa = std::string(251, 'n') + "@npci"; },
         "--pay-upi VPA: at most 255 characters, not 256"},
        {"no name", [](auto& p) { p.name.clear(); }, "--pay-upi name: is required"},
        {"name too long", [](auto& p) { p.name = std::string(100, 'n'); },
         "--pay-upi name: at most 99 characters, not 100"},
        {"no amount", [](auto& p) { p.amount.clear(); }, "--pay-upi amount: is required"},
        {"amount zero", [](auto& p) { p.amount = "0"; },
         "--pay-upi amount: must be from 0.01 to 999999999.99"},
        {"amount with three decimals", [](auto& p) { p.amount = "10.001"; },
         "--pay-upi amount: at most two decimals"},
        {"note too long", [](auto& p) { p.note = std::string(51, 't'); },
         "--pay-upi note: at most 50 characters, not 51"},
        {"note on two lines", [](auto& p) { p.note = "Pay\r\nto"; },
         "--pay-upi note: must be one line with no control characters"},
    };
    for (const auto& c : cases) {
        payment::UpiPayment upi{.vpa = "nadeem@npci", .name = "nadeem chinna", .amount = "10"};
        c.change(upi);
        EXPECT_EQ(RefusalOf(payment::UpiPaymentLink(upi)), c.line) << c.name;
    }
}

// --- Pix ---

TEST(PaymentPix, BuildsThePublishedSample) {
    // The static example of the Banco Central do Brasil's Pix manual: a random key, no amount,
    // no TXID.
    const payment::PixPayment sample{
        .key = "123e4567-e12b-12d1-a456-426655440000", .name = "Fulano de Tal", .city = "BRASILIA"};
    EXPECT_EQ(PayloadOf(payment::PixPayload(sample)),
              "00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-42665544000052040000530398"
              "65802BR5913Fulano de Tal6008BRASILIA62070503***63041D3D");
}

TEST(PaymentPix, WritesAmountTxidAndNamesWithoutAccents) {
    const payment::PixPayment sale{.key = "+5561912345678",
                                   .name = "Padaria S\xC3\xA3o Jo\xC3\xA3o",
                                   .city = "S\xC3\xA3o Paulo",
                                   .amount = "12,5",
                                   .txid = "VENDA42"};
    EXPECT_EQ(PayloadOf(payment::PixPayload(sale)),
              "00020126360014br.gov.bcb.pix0114+5561912345678520400005303986540512.505802BR5916"
              "Padaria Sao Joao6009Sao Paulo62110507VENDA42630417F2");
}

TEST(PaymentPix, TakesEachKindOfKey) {
    const struct {
        const char* key;
        const char* field;  // the key's data object inside the Pix account's
    } cases[] = {
        {"12345678909", "011112345678909"},                      // CPF
        {"11222333000181", "011411222333000181"},                // CNPJ
        {"12ABC34501DE35", "011412ABC34501DE35"},                // CNPJ with letters
        {"+5561912345678", "0114+5561912345678"},                // phone
        {"fulano@example.com.br", "0121fulano@example.com.br"},  // e-mail
        {"123E4567-E12B-12D1-A456-426655440000",
         "0136123E4567-E12B-12D1-A456-426655440000"},  // random key
    };
    for (const auto& c : cases) {
        const payment::PixPayment pix{.key = c.key, .name = "Loja", .city = "Recife"};
        EXPECT_NE(
            PayloadOf(payment::PixPayload(pix)).find(std::string("0014br.gov.bcb.pix") + c.field),
            std::string::npos)
            << c.key;
    }
}

TEST(PaymentPix, RefusesByItsRules) {
    const struct {
        const char* name;
        void (*change)(payment::PixPayment&);
        const char* line;
    } cases[] = {
        {"no key", [](auto& p) { p.key.clear(); }, "--pay-pix key: is required"},
        {"CPF with wrong check digits", [](auto& p) { p.key = "12345678900"; },
         "--pay-pix key: the CPF's check digits do not match"},
        {"CNPJ with wrong check digits", [](auto& p) { p.key = "11222333000182"; },
         "--pay-pix key: the CNPJ's check digits do not match"},
        {"phone without its '+'", [](auto& p) { p.key = "5561912345678"; },
         "--pay-pix key: must be a CPF, a CNPJ, a phone number (+ and the digits), an e-mail "
         "address or a random key"},
        {"e-mail without a domain", [](auto& p) { p.key = "fulano@localhost"; },
         "--pay-pix key: must be a CPF, a CNPJ, a phone number (+ and the digits), an e-mail "
         "address or a random key"},
        {"key too long", [](auto& p) { p.key = std::string(66, 'f') + "@example.com"; },
         "--pay-pix key: at most 77 characters, not 78"},
        {"no name", [](auto& p) { p.name.clear(); }, "--pay-pix name: is required"},
        {"name too long", [](auto& p) { p.name = std::string(26, 'n'); },
         "--pay-pix name: at most 25 characters, not 26"},
        {"name too long once its Æ is written AE",
         [](auto& p) { p.name = std::string(24, 'n') + "\xC3\x86"; },
         "--pay-pix name: at most 25 characters, not 26"},
        {"name outside Latin-1", [](auto& p) { p.name = "Caf\xE2\x98\x95"; },
         "--pay-pix name: only ASCII letters, digits, spaces and punctuation (accents are "
         "dropped)"},
        {"city too long", [](auto& p) { p.city = "Sao Jose dos Campos"; },
         "--pay-pix city: at most 15 characters, not 19"},
        {"amount zero", [](auto& p) { p.amount = "0"; },
         "--pay-pix amount: must be from 0.01 to 9999999999.99"},
        {"amount too large", [](auto& p) { p.amount = "10000000000"; },
         "--pay-pix amount: must be from 0.01 to 9999999999.99"},
        {"amount with three decimals", [](auto& p) { p.amount = "1,234"; },
         "--pay-pix amount: at most two decimals"},
        {"TXID with a dash", [](auto& p) { p.txid = "VENDA-42"; },
         "--pay-pix TXID: only letters and digits (A-Z, a-z, 0-9)"},
        {"TXID too long", [](auto& p) { p.txid = std::string(26, 'T'); },
         "--pay-pix TXID: at most 25 characters, not 26"},
    };
    for (const auto& c : cases) {
        payment::PixPayment pix{.key = "+5561912345678", .name = "Loja", .city = "Recife"};
        c.change(pix);
        EXPECT_EQ(RefusalOf(payment::PixPayload(pix)), c.line) << c.name;
    }
}

}  // namespace

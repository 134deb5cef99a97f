// afficheur-send's parts in process, on every system it is built for: its options, the bytes
// of its messages and the line that says which were not delivered. SendCommandTest.cpp runs
// the built command.

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "Delivery.h"
#include "Payload.h"
#include "SendOptions.h"

namespace {

using protocol::Kind;

std::string NoInput(std::size_t) {
    return "Merci\n";
}

// The longest text a display keeps, as a tool that ends it with CR LF writes it.
std::string LongestInput(std::size_t limit) {
    return (std::string(sender::kMaxTextBytes, 'a') + "\r\n").substr(0, limit);
}

// A producer that never stops: as much as is asked for.
std::string EndlessInput(std::size_t limit) {
    return std::string(limit, 'a');
}

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<sender::Outgoing> messages;  // empty: a usage error is expected
    const char* error = "";                  // part of the usage error's words
    sender::ReadInput input = &NoInput;
};

TEST(SendOptions, ReadAsATable) {
    const ParseCase cases[] = {
        {"a plain text", {"Bienvenue"}, {{Kind::Text, "Bienvenue"}}},
        {"standard input without its final line feed", {"-"}, {{Kind::Text, "Merci"}}},
        {"lines in a row make one message",
         {"--line", "Caf\xC3\xA9", "2,40", "--line", "TOTAL", "23,70"},
         {{Kind::Text, "Caf\xC3\xA9\t2,40\nTOTAL\t23,70"}}},
        {"a tab or line break inside a side is a blank",
         {"--line", "a\tb", "1\n2"},
         {{Kind::Text, "a b\t1 2"}}},
        {"each other option its own message, in order",
         {"--scroll", "Soldes", "--colour", "12", "--register=Caisse 2", "--clear", "--line", "A",
          "1", "Fin"},
         {{Kind::Scroll, "Soldes"},
          {Kind::Colour, "12"},
          {Kind::Register, "Caisse 2"},
          {Kind::Text, ""},
          {Kind::Text, "A\t1"},
          {Kind::Text, "Fin"}}},
        {"after -- a dash starts a text", {"--", "--clear"}, {{Kind::Text, "--clear"}}},
        {"after -- every argument is a text, - and -- too",
         {"--", "-", "--", "-5,00 remise"},
         {{Kind::Text, "-"}, {Kind::Text, "--"}, {Kind::Text, "-5,00 remise"}}},
        {"a text that starts with a dash, without --", {"-5,00 remise"}, {}, "goes after --"},
        {"standard input as long as a display keeps",
         {"-"},
         {{Kind::Text, std::string(sender::kMaxTextBytes, 'a')}},
         "",
         &LongestInput},
        {"standard input longer than a display keeps", {"-"}, {}, "longer than", &EndlessInput},
        {"nothing to send", {"--to", "127.0.0.1:9100"}, {}, "nothing to send"},
        {"a colour out of the palette", {"--colour", "16"}, {}, "0 to 15"},
        {"a colour that is not whole", {"--colour", "2.5"}, {}, "0 to 15"},
        {"--to without a port", {"--to", "shop", "x"}, {}, "HOST:PORT"},
        {"--to with port 0", {"--to", "127.0.0.1:0", "x"}, {}, "HOST:PORT"},
        {"--to IPv6 without brackets", {"--to", "::1:9100", "x"}, {}, "HOST:PORT"},
        {"an unknown encoding", {"--encoding", "latin1", "x"}, {}, "windows-1252 or utf-8"},
        {"a timeout of 0", {"--timeout", "0", "x"}, {}, "--timeout"},
        {"--line with one argument", {"--line", "A"}, {}, "two arguments"},
        {"a sale, then its total and the change due, on a message of their own",
         {"--line", "Pain", "1,10", "--total", "TOTAL", "1,10", "--change", "Rendu", "0,90"},
         {{Kind::Text, "Pain\t1,10"}, {Kind::Total, "TOTAL\t1,10\nRendu\t0,90"}}},
        {"a total alone clears the text first, so that only the total shows",
         {"--total", "TOTAL", "23,70"},
         {{Kind::Text, ""}, {Kind::Total, "TOTAL\t23,70"}}},
        {"the change due without a total before it",
         {"--change", "Rendu", "1"},
         {},
         "right after --total"},
        {"--total with one argument", {"--total", "TOTAL"}, {}, "two arguments"},
        {"an option without its value", {"x", "--scroll"}, {}, "needs a value"},
        {"an unknown option", {"--colours", "3"}, {}, "unknown option"},
        {"a text longer than a display keeps", {std::string(64 * 1024 + 1, 'a')}, {}, "longer"},
        // QR codes: the caption line, then the payload as given; the caption may come after.
        {"a QR code after its sale, its caption given after it",
         {"--line", "Pain", "1,10", "--total", "TOTAL", "1,10", "--qr", "BCD\n002", "--qr-caption",
          "Scannez\npour payer"},
         {{Kind::Text, "Pain\t1,10"},
          {Kind::Total, "TOTAL\t1,10"},
          {Kind::Qr, "Scannez pour payer\nBCD\n002"}}},
        {"a QR code without a caption", {"--qr", "upi://pay"}, {{Kind::Qr, "\nupi://pay"}}},
        {"--qr \"\" removes the code", {"--qr", "", "--qr-caption", "x"}, {{Kind::Qr, ""}}},
        {"--pair asks for the page's address, with no text", {"--pair"}, {{Kind::Pair, ""}}},
        {"--pair takes no value", {"--pair=x"}, {}, "takes no value"},
        {"a payload past what a QR code holds",
         {"--qr", std::string(2332, 'a')},
         {},
         "more than the 2331 a QR code holds"},
        // Payment codes: the builder's payload, byte for byte, in the option's place.
        {"a SEPA transfer with its details before and after it",
         {"--pay-bic", "BPOTBEB1", "--pay-sepa", "BE72 0000 0000 1616", "Red Cross of Belgium", "1",
          "--qr-caption", "Scannez pour payer", "--pay-text", "Urgency fund"},
         {{Kind::Qr,
           "Scannez pour payer\nBCD\n002\n1\nSCT\nBPOTBEB1\nRed Cross of Belgium\n"
           "BE72000000001616\nEUR1\n\n\nUrgency fund"}}},
        {"a UPI link with its note",
         {"--pay-upi", "cafe.nord@okaxis", "Caf\xC3\xA9 & Co", "12,50", "--pay-text", "Table 4"},
         {{Kind::Qr,
           "\nupi://pay?pa=cafe.nord@okaxis&pn=Caf%C3%A9%20%26%20Co&am=12.5&cu=INR&tn=Table%204"}}},
        {"a Pix code without an amount: the published static example",
         {"--pay-pix", "123e4567-e12b-12d1-a456-426655440000", "Fulano de Tal", "BRASILIA", ""},
         {{Kind::Qr,
           "\n00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-42665544000052040000530398"
           "65802BR5913Fulano de Tal6008BRASILIA62070503***63041D3D"}}},
        {"a bad IBAN names the field and the rule",
         {"--pay-sepa", "BE73000000001616", "Croix-Rouge", "1"},
         {},
         "--pay-sepa IBAN: the check digits do not match (mod 97)"},
        {"a bad amount names the field and the rule",
         {"--pay-upi", "a@b", "N", "0"},
         {},
         "--pay-upi amount: must be from 0.01 to 999999999.99"},
        {"a detail without a payment code", {"--pay-text", "x", "Merci"}, {}, "goes with --pay-"},
        {"a detail its scheme has not",
         {"--pay-upi", "a@b", "N", "1", "--pay-bic", "BPOTBEB1"},
         {},
         "--pay-upi --pay-bic: goes only with --pay-sepa"},
        {"a detail given twice",
         {"--pay-sepa", "BE72000000001616", "N", "1", "--pay-bic", "A", "--pay-bic", "B"},
         {},
         "--pay-bic is given twice"},
        {"two payment codes",
         {"--pay-upi", "a@b", "N", "1", "--pay-upi", "a@b", "N", "2"},
         {},
         "one payment code at a time"},
        {"--pay-pix with three arguments",
         {"--pay-pix", "a", "b", "c"},
         {},
         "needs four arguments: KEY NAME CITY AMOUNT"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = sender::ParseSendOptions(c.args, c.input);
        if (c.messages.empty()) {
            ASSERT_TRUE(std::holds_alternative<sender::UsageError>(parsed));
            EXPECT_NE(std::get<sender::UsageError>(parsed).why.find(c.error), std::string::npos)
                << std::get<sender::UsageError>(parsed).why;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<sender::SendOptions>(parsed))
            << std::get<sender::UsageError>(parsed).why;
        const auto& messages = std::get<sender::SendOptions>(parsed).messages;
        ASSERT_EQ(messages.size(), c.messages.size());
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(messages[i].kind, c.messages[i].kind) << i;
            EXPECT_EQ(messages[i].text, c.messages[i].text) << i;
        }
    }
    const auto options = std::get<sender::SendOptions>(
        sender::ParseSendOptions({"--to", "[::1]:9100", "--encoding", "UTF-8", "x"}, &NoInput));
    ASSERT_TRUE(options.to);
    EXPECT_EQ(options.to->host, "::1");
    EXPECT_EQ(options.to->port, 9100);
    EXPECT_EQ(options.encoding, protocol::Encoding::Utf8);
    EXPECT_EQ(options.timeoutMs, 3000);
}

struct PayloadCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> wire;  // empty: a refusal (status 3) is expected
    const char* words = "";         // part of the refusal's line
};

// What leaves for the display, checked and converted before the first message goes.
TEST(SendPayload, BytesAsATable) {
    const PayloadCase cases[] = {
        {"Windows-1252 by default, a command framed",
         {"Caf\xC3\xA9 2,40 \xE2\x82\xAC", "--colour", "12", "--scroll", "\xC3\x80 bient\xC3\xB4t"},
         {"Caf\xE9 2,40 \x80",
          "\xFF"
          "212",
          "\xFF"
          "1\xC0 bient\xF4t"}},
        {"lines keep their TAB and line feed",
         {"--line", "Cr\xC3\xA8me", "2,40", "--line", "TOTAL", "23,70"},
         {"Cr\xE8me\t2,40\nTOTAL\t23,70"}},
        {"UTF-8 passes as it is",
         {"--encoding", "utf-8", "\xC5\x81\xC3\xB3\x64\xC5\xBA"},
         {"\xC5\x81\xC3\xB3\x64\xC5\xBA"}},
        {"--transliterate finds look-alikes",
         {"--transliterate", "\xC5\x81\xC3\xB3\x64\xC5\xBA"},
         {"L\xF3"
          "dz"}},
        {"--transliterate makes '?' of a byte that is not UTF-8",
         {"--transliterate", "a\xE9z"},
         {"a?z"}},
        {"an empty text", {"--clear"}, {""}},
        {"a character outside windows-1252, named with its place",
         {"ok", "ab\xC5\x81"},
         {},
         "message 2: character '\xC5\x81' (U+0141) at position 3 has no place in windows-1252"},
        {"a byte that is not UTF-8, named with its place",
         {"Caf\xE9"},
         {},
         "message 1: byte 0xE9 at position 4 is not UTF-8"},
    };
    for (const PayloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = sender::ParseSendOptions(c.args, &NoInput);
        ASSERT_TRUE(std::holds_alternative<sender::SendOptions>(parsed));
        const auto built = sender::Payloads(std::get<sender::SendOptions>(parsed));
        if (c.wire.empty()) {
            ASSERT_TRUE(std::holds_alternative<sender::Refusal>(built));
            const auto& refusal = std::get<sender::Refusal>(built);
            EXPECT_EQ(refusal.status, sender::kExitUnrepresentable);
            EXPECT_NE(refusal.line.find(c.words), std::string::npos) << refusal.line;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<std::vector<std::string>>(built))
            << std::get<sender::Refusal>(built).line;
        EXPECT_EQ(std::get<std::vector<std::string>>(built), c.wire);
    }
}

struct NotDeliveredCase {
    std::size_t failed;
    std::size_t count;
    const char* line;
};

TEST(SendCommand, NotDeliveredLinesAsATable) {
    const NotDeliveredCase cases[] = {
        {1, 1, "message to shop:9100 dropped: Connection refused"},
        {1, 2,
         "message 1 of 2 to shop:9100 dropped: Connection refused; none delivered, "
         "message 2 not sent"},
        {2, 2, "message 2 of 2 to shop:9100 dropped: Connection refused; message 1 delivered"},
        {1, 5,
         "message 1 of 5 to shop:9100 dropped: Connection refused; none delivered, "
         "messages 2 to 5 not sent"},
        {4, 6,
         "message 4 of 6 to shop:9100 dropped: Connection refused; messages 1 to 3 "
         "delivered, messages 5 and 6 not sent"},
    };
    for (const NotDeliveredCase& c : cases) {
        EXPECT_EQ(sender::NotDeliveredLine("shop:9100", c.failed, c.count, "Connection refused"),
                  c.line);
    }
}

}  // namespace

// The bash completion offers every option of the table: a new option cannot be left out.
TEST(SendOptions, TheCompletionOffersEveryOption) {
    std::ifstream file(AFFICHEUR_SOURCE_DIR "/packaging/completion/afficheur-send");
    ASSERT_TRUE(file.is_open());
    const std::string completion((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());
    const auto offered = [&](const std::string& name) {
        const auto isNamePart = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
        };
        for (auto at = completion.find(name); at != std::string::npos;
             at = completion.find(name, at + 1)) {
            const std::size_t end = at + name.size();
            if ((at == 0 || !isNamePart(completion[at - 1])) &&
                (end == completion.size() || !isNamePart(completion[end])))
                return true;
        }
        return false;
    };
    for (const sender::SendOptionRow& row : sender::SendOptionTable())
        EXPECT_TRUE(offered(std::string(row.name))) << row.name << " is not offered";
}

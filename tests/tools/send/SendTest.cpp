// afficheur-send on every system it is built for: its options and the bytes of its messages
// in process, and the built command run against a stand-in display on loopback (one message
// per connection, read to the end, then closed). Under Wine the command is the .exe and the
// stand-in listens through Winsock. SendPosixTest.cpp has the cases that need a shell.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "Delivery.h"
#include "Payload.h"
#include "SendOptions.h"
#include "support/ChildProcess.h"
#include "support/StandInDisplay.h"
#include "support/TempFolder.h"

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

ChildRun RunSend(const TempFolder& folder, const std::vector<std::string>& args,
                 const std::string& input = "") {
    return RunChild(folder.path(), AFFICHEUR_SEND, args, input);
}

struct DeliveryCase {
    const char* name;
    std::vector<std::string> args;  // after --to and the stand-in's address
    std::string input;              // standard input
    std::vector<std::string> wire;  // what the display reads, one message per connection
};

// The command's arguments reach the display as the client sends its texts: each message on its
// own connection, in Windows-1252 unless told otherwise. On Windows the arguments come from
// the UTF-16 command line and standard input is read in binary mode.
TEST(SendCommand, DeliversEachMessageOnItsOwnConnection) {
    TempFolder folder;
    const DeliveryCase cases[] = {
        {"texts, lines and a colour in Windows-1252",
         {"Caf\xC3\xA9", "--line", "Cr\xC3\xA8me", "2,40 \xE2\x82\xAC", "--line", "TOTAL",
          "23,70 \xE2\x82\xAC", "--colour", "12"},
         "",
         {"Caf\xE9", "Cr\xE8me\t2,40 \x80\nTOTAL\t23,70 \x80",
          "\xFF"
          "212"}},
        {"after -- every argument is a text as it stands",
         {"--clear", "--", "-5,00 remise", "-", "--to", "a \"quoted\" \\ text\\"},
         "",
         {"", "-5,00 remise", "-", "--to", "a \"quoted\" \\ text\\"}},
        {"standard input without its final line break, CR and Ctrl-Z kept inside",
         {"-"},
         "Merci\r\n\x1A bient\xC3\xB4t\r\n",
         {"Merci\r\n\x1A bient\xF4t"}},
        {"UTF-8 for a display started that way",
         {"--encoding", "utf-8", "\xC5\x81\xC3\xB3\x64\xC5\xBA"},
         "",
         {"\xC5\x81\xC3\xB3\x64\xC5\xBA"}},
    };
    for (const DeliveryCase& c : cases) {
        SCOPED_TRACE(c.name);
        StandInDisplay display;
        ASSERT_NE(display.port(), 0);
        std::vector<std::string> args{"--to", display.address()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ChildRun run = RunSend(folder, args, c.input);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(display.messages(), c.wire);
    }
    const ChildRun help = RunSend(folder, {"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("\n  --   "), std::string::npos) << help.out;
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string words;
    std::string input = "";
};

TEST(SendCommand, FailuresAsATable) {
    TempFolder folder;
    const std::string nobody = "127.0.0.1:" + std::to_string(loopback::FreePort());
    // A file with the address first, then more than a settings file ever holds.
    const auto big = folder.path() / "big.ini";
    const std::string bigContent =
        "[ecran]\nip=127.0.0.1\nport=9\n" + std::string(2 * 1024 * 1024, '\n');
    WriteFile(big, bigContent);
    const std::string missing = (folder.path() / "nonexistent" / "shop.ini").string();
    const FailureCase cases[] = {
        {"no display listening", {"--to", nobody, "x"}, 4, "dropped: Connection refused"},
        {"a character outside windows-1252",
         {"--to", nobody, "ab\xC5\x81"},
         3,
         "'\xC5\x81' (U+0141) at position 3"},
        {"standard input that is not UTF-8",
         {"--to", nobody, "-"},
         3,
         "byte 0xE9 at position 4 is not UTF-8",
         "Caf\xE9"},
        {"a bad --to", {"--to", "127.0.0.1", "x"}, 2, "--to takes HOST:PORT"},
        {"no address anywhere", {"x"}, 2, "set ip and port under [ecran] in "},
        {"a missing settings file names itself", {"--settings", missing, "x"}, 2, missing},
        {"a missing settings file with --to",
         {"--settings", missing, "--to", nobody, "x"},
         4,
         "Connection refused"},
        {"a settings file larger than any is not read",
         {"--settings", big.string(), "x"},
         2,
         big.string() + " is " + std::to_string(bigContent.size()) + " bytes"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildRun run = RunSend(folder, c.args, c.input);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.settings() / "QUORIXaffich.ini"));
}

struct HangCase {
    int takes;  // messages the display reads before it hangs
    std::string words;
};

// With several messages the command stops at the first one not delivered, and its one line
// says which went before it and which were never sent.
TEST(SendCommand, AFailureSaysWhichMessagesWereDeliveredAndWhichWereNot) {
    TempFolder folder;
    const std::vector<std::string> texts{"un", "deux", "trois"};
    const HangCase cases[] = {
        {0,
         "message 1 of 3 to {TO} dropped: no delivery within 500 ms; none delivered, messages 2 "
         "and 3 not sent"},
        {1,
         "message 2 of 3 to {TO} dropped: no delivery within 500 ms; message 1 delivered, "
         "message 3 not sent"},
        {2,
         "message 3 of 3 to {TO} dropped: no delivery within 500 ms; messages 1 and 2 "
         "delivered"},
    };
    for (const HangCase& c : cases) {
        SCOPED_TRACE(c.takes);
        StandInDisplay display(Peer::Display, c.takes);
        ASSERT_NE(display.port(), 0);
        std::vector<std::string> args{"--to", display.address(), "--timeout", "500"};
        args.insert(args.end(), texts.begin(), texts.end());
        const ChildRun run = RunSend(folder, args);
        EXPECT_EQ(run.status, 4) << run.err;
        std::string words = c.words;
        words.replace(words.find("{TO}"), 4, display.address());
        EXPECT_EQ(run.err, "afficheur-send: " + words + "\n");
        EXPECT_EQ(display.messages(),
                  std::vector<std::string>(texts.begin(), texts.begin() + c.takes));
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

struct PeerCase {
    const char* name;
    Peer peer;
};

// A peer that sends anything back is something else listening at the address: the message
// counts as not delivered, within the deadline whatever the peer does.
TEST(SendCommand, APeerThatAnswersIsNotADisplay) {
    TempFolder folder;
    const PeerCase cases[] = {
        {"bytes without end, never closing", Peer::Floods},
        {"a few bytes after the message, then closed", Peer::Answers},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.name);
        StandInDisplay peer(c.peer);
        ASSERT_NE(peer.port(), 0);
        const auto start = std::chrono::steady_clock::now();
        const ChildRun run =
            RunSend(folder, {"--to", peer.address(), "--timeout", "1000", "hello"});
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.status, 4) << run.err;
        EXPECT_NE(run.err.find("message to " + peer.address() + " dropped: "), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("not a display"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        // The peer goes on for 20 s; the command's deadline is 1 s.
        EXPECT_LT(took, std::chrono::seconds(10)) << "--timeout 1000 did not hold";
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

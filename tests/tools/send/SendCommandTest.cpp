// The built afficheur-send run against a stand-in display on loopback (one message per
// connection, read to the end, then closed), on every system it is built for. Under Wine the
// command is the .exe and the stand-in listens through Winsock. SendPosixTest.cpp has the
// cases that need a shell.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/StandInDisplay.h"
#include "support/TempFolder.h"

namespace {

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

// A payment code with a field that breaks its scheme's rules is refused before anything goes:
// exit 2, one line naming the field and the rule, and the display reads nothing, not even the
// messages before it.
TEST(SendCommand, ABadPaymentFieldSendsNothing) {
    TempFolder folder;
    const FailureCase cases[] = {
        {"an IBAN whose check digits are wrong",
         {"--pay-sepa", "FR76 3000 6000 0112 3456 7890 188", "Boulangerie", "12,50"},
         2,
         "--pay-sepa IBAN: the check digits do not match (mod 97)"},
        {"an amount past what the scheme takes",
         {"--pay-sepa", "BE72000000001616", "Boulangerie", "1000000000"},
         2,
         "--pay-sepa amount: must be from 0.01 to 999999999.99"},
        {"a VPA without its handle", {"--pay-upi", "shop", "Shop", "10"}, 2, "--pay-upi VPA:"},
        {"a CPF whose check digits are wrong",
         {"--pay-pix", "12345678900", "Loja", "Recife", "5"},
         2,
         "--pay-pix key: the CPF's check digits do not match"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        StandInDisplay display;
        ASSERT_NE(display.port(), 0);
        std::vector<std::string> args{"--to", display.address(), "--line", "Pain", "1,10"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ChildRun run = RunSend(folder, args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err.rfind("afficheur-send: " + c.words, 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_TRUE(display.messages().empty());
    }
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

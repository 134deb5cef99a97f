// The built afficheur-display run as its own process, fed over loopback, judged by its log.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/DisplayProcess.h"
#include "support/TempFolder.h"

namespace {

using namespace displaytest;

std::vector<std::string> Headless(int idleTimeoutMs = 5000) {
    return {"--headless",  "--log",          "--listen",
            "127.0.0.1:0", "--idle-timeout", std::to_string(idleTimeoutMs)};
}

}  // namespace

TEST(DisplayProcess, LogsEveryKindOfMessageWithItsBytes) {
    Display display(Headless());
    const uint16_t port = display.Listening();
    ASSERT_NE(port, 0);

    struct Case {
        const char* name;
        std::string bytes;
        const char* kind;
        const char* text;
        const char* hex;
        bool shown;
    };
    const Case cases[] = {
        {"plain text, e-acute as one byte", "Caf\xE9", "text", "Café", "436166E9", true},
        {"empty message", "", "text", "", "", true},
        {"scrolling text",
         "\xFF"
         "1Soldes",
         "scroll", "Soldes", "FF31536F6C646573", true},
        {"empty scrolling text",
         "\xFF"
         "1",
         "scroll", "", "FF31", true},
        {"colour",
         "\xFF"
         "2 12",
         "colour", " 12", "FF32203132", true},
        {"colour past the palette",
         "\xFF"
         "2"
         "16",
         "colour", "16", "FF323136", false},
        {"register name",
         "\xFF"
         "3Caisse 1",
         "register", "Caisse 1", "FF334361697373652031", true},
        {"total",
         "\xFF"
         "4TOTAL\t2,40",
         "total", "TOTAL\t2,40", "FF34544F54414C09322C3430", true},
        {"unknown command byte",
         "\xFF"
         "9x",
         "unknown", "x", "FF3978", false},
        {"0xFF alone", "\xFF", "unknown", "", "FF", false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SendMessage(port, c.bytes)) << c.name;
        const auto record = display.NextRecord();
        EXPECT_EQ(record.value("kind").toString(), c.kind) << c.name;
        EXPECT_EQ(record.value("text").toString(), QString::fromUtf8(c.text)) << c.name;
        EXPECT_EQ(record.value("bytes").toString(), c.hex) << c.name;
        EXPECT_EQ(record.value("end").toString(), "closed") << c.name;
        EXPECT_EQ(record.value("shown").toBool(), c.shown) << c.name;
        EXPECT_TRUE(record.value("peer").toString().startsWith("127.0.0.1:")) << c.name;
        EXPECT_FALSE(record.value("time").toString().isEmpty()) << c.name;
        // Whatever is not shown says why.
        EXPECT_EQ(record.contains("note"), !c.shown) << c.name;
    }
}

TEST(DisplayProcess, ReportsTheColourIndexAndTheUnknownCommandByte) {
    Display display(Headless());
    const uint16_t port = display.Listening();

    ASSERT_TRUE(SendMessage(port,
                            "\xFF"
                            "2&HC"));
    EXPECT_EQ(display.NextRecord().value("colour").toInt(-1), 12);
    ASSERT_TRUE(SendMessage(port,
                            "\xFF"
                            "2-1"));
    EXPECT_TRUE(display.NextRecord().value("colour").isNull());
    ASSERT_TRUE(SendMessage(port,
                            "\xFF"
                            "\xE9"));
    EXPECT_EQ(display.NextRecord().value("command").toString(), "E9");
}

TEST(DisplayProcess, ReadsUtf8TextsWhenToldAndShowsMalformedBytesAsReplacements) {
    std::vector<std::string> args = Headless();
    args.insert(args.end(), {"--encoding", "utf-8"});
    Display display(args);
    const uint16_t port = display.Listening();
    ASSERT_NE(port, 0);
    struct Case {
        const char* name;
        std::string bytes;
        const char* kind;
        const char* text;
    };
    const Case cases[] = {
        {"text beyond windows-1252",
         "Caf\xC3\xA9 \xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "text", "Café Łódź"},
        {"a malformed byte",
         "a\xE9"
         "b",
         "text",
         "a\uFFFD"
         "b"},
        {"a command keeps its 0xFF lead",
         "\xFF"
         "3\xC3\xA9t\xC3\xA9",
         "register", "été"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SendMessage(port, c.bytes));
        const auto record = display.NextRecord();
        EXPECT_EQ(record.value("kind").toString(), c.kind);
        EXPECT_EQ(record.value("text").toString(), QString::fromUtf8(c.text));
        EXPECT_TRUE(record.value("shown").toBool());
    }
}

TEST(DisplayProcess, CutsAMessageOver64KiBAndKeepsWorking) {
    Display display(Headless());
    const uint16_t port = display.Listening();

    const std::string big =
        "\xFF"
        "1" +
        std::string(70000, 'a');
    SendMessage(port, big);  // the display may close before taking it all
    const auto record = display.NextRecord();
    EXPECT_EQ(record.value("end").toString(), "cut");
    EXPECT_EQ(record.value("kind").toString(), "scroll");
    // The log keeps its first 4 KiB and says how long it was.
    EXPECT_EQ(record.value("bytesLength").toInt(), 65536);
    EXPECT_EQ(record.value("textLength").toInt(), 65536 - 2);
    EXPECT_TRUE(record.value("truncated").toBool());
    EXPECT_EQ(record.value("bytes").toString().size(), 2 * 4096);
    EXPECT_EQ(record.value("text").toString().size(), 4096);
    EXPECT_TRUE(record.value("shown").toBool());

    // Exactly at the limit is whole.
    ASSERT_TRUE(SendMessage(port, std::string(65536, 'b')));
    EXPECT_EQ(display.NextRecord().value("end").toString(), "closed");
    ASSERT_TRUE(SendMessage(port, "suite"));
    EXPECT_EQ(display.NextRecord().value("text").toString(), "suite");
}

// However long the message, its log line stays a few KiB and its stderr line a few hundred
// bytes: a sender cannot fill the disk that holds the logs.
TEST(DisplayProcess, KeepsTheLinesOfALongMessageShort) {
    Display display(Headless());
    const uint16_t port = display.Listening();
    ASSERT_NE(port, 0);
    struct Case {
        const char* name;
        std::string bytes;
        bool truncated;
        std::size_t maxLine;  // the log line's bytes
        const char* note;     // on stderr, when it has one
    };
    const std::string colour =
        "\xFF"
        "2";
    const Case cases[] = {
        {"4 KiB of text, whole", std::string(4096, 'a'), false, 13 * 1024, nullptr},
        {"one byte more, cut", std::string(4097, 'a'), true, 13 * 1024, nullptr},
        {"64 KiB of text", std::string(65536, 'a'), true, 13 * 1024, nullptr},
        {"64 KiB of control characters, each escaped", std::string(65536, '\x01'), true, 34 * 1024,
         nullptr},
        {"a 64 KiB colour naming no index", colour + std::string(65534, '9'), true, 13 * 1024,
         "... (65534 characters)\" names no palette index"},
        {"a 64 KiB QR code past what a code holds",
         "\xFF"
         "5\n" +
             std::string(65532, 'a'),
         true, 13 * 1024,
         "... (65533 characters)\" is not a caption, a line feed and a payload of at most 2331 "
         "bytes"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        // Each from an address of its own, so that no note is held back as a repeat.
        ASSERT_TRUE(SendMessage(port, c.bytes, static_cast<int>(i) + 2));
        const auto line = display.NextLine();
        ASSERT_TRUE(line);
        EXPECT_LE(line->size(), c.maxLine);
        const auto record = QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object();
        const auto size = static_cast<int>(c.bytes.size());
        EXPECT_EQ(record.value("bytes").toString().size(), 2 * std::min(size, 4096));
        EXPECT_EQ(record.value("text").toString().size(), std::min(size, 4096));
        EXPECT_EQ(record.value("truncated").toBool(), c.truncated);
        EXPECT_EQ(record.value("bytesLength").toInt(-1), c.truncated ? size : -1);
        if (!c.note) continue;
        ASSERT_TRUE(display.ErrorsShow(c.note)) << display.Errors().substr(0, 2000);
        EXPECT_NE(record.value("note").toString().indexOf(QString::fromUtf8(c.note)), -1);
    }
    // Every stderr line together: a few hundred bytes.
    EXPECT_LT(display.Errors().size(), 1000u) << display.Errors().substr(0, 2000);
}

TEST(DisplayProcess, ClosesASilentConnectionAfterTheIdleTimeoutWithoutShowingIt) {
    Display display(Headless(300));
    const uint16_t port = display.Listening();

    Connection partial(port);
    ASSERT_TRUE(partial.Send("Prom"));
    Connection mute(port);
    ASSERT_TRUE(mute.connected());

    // Both are closed by the display, each logged as silent; neither is shown.
    EXPECT_TRUE(partial.ClosedByPeer(kPatience));
    EXPECT_TRUE(mute.ClosedByPeer(kPatience));
    std::vector<QJsonObject> records{display.NextRecord(), display.NextRecord()};
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a.value("bytes").toString() < b.value("bytes").toString();
    });
    EXPECT_EQ(records[0].value("bytes").toString(), "");
    EXPECT_EQ(records[1].value("bytes").toString(), "50726F6D");
    for (const auto& record : records) {
        EXPECT_EQ(record.value("end").toString(), "silent");
        EXPECT_FALSE(record.value("shown").toBool(true));
    }
}

TEST(DisplayProcess, AMessageWhoseSenderPausesLessThanTheIdleTimeoutIsWhole) {
    // Pauses of 100 ms against 3 s: a busy machine (sanitizers, parallel tests) cannot
    // stretch one into a timeout.
    Display display(Headless(3000));
    const uint16_t port = display.Listening();
    Connection slow(port);
    ASSERT_TRUE(slow.Send("len"));
    ::usleep(100000);
    ASSERT_TRUE(slow.Send("t"));
    ::usleep(100000);
    ASSERT_TRUE(slow.Send("e"));
    slow.EndMessage();
    const auto record = display.NextRecord();
    EXPECT_EQ(record.value("text").toString(), "lente");
    EXPECT_EQ(record.value("end").toString(), "closed");
}

TEST(DisplayProcess, CutsAMessageNotWholeWithinItsDeadlineHoweverOftenBytesCome) {
    auto args = Headless(5000);
    args.insert(args.end(), {"--message-timeout", "1000"});
    Display display(args);
    const uint16_t port = display.Listening();

    // One byte every 100 ms keeps the idle timer from ever running out; the deadline ends it.
    Connection trickle(port);
    bool closed = false;
    for (int i = 0; i < 100 && !closed; ++i)
        closed = !trickle.Send("a") || trickle.ClosedByPeer(milliseconds(100));
    EXPECT_TRUE(closed) << "the display kept a trickling sender for 10 s";
    const auto record = display.NextRecord();
    EXPECT_EQ(record.value("end").toString(), "cut");
    EXPECT_FALSE(record.value("shown").toBool(true));
    EXPECT_TRUE(record.value("bytes").toString().startsWith("61"));
    EXPECT_TRUE(record.value("note").toString().contains("within 1000 ms"))
        << record.value("note").toString().toStdString();

    // The slot is free again and a message that comes at once is whole.
    ASSERT_TRUE(SendMessage(port, "suite"));
    EXPECT_EQ(display.NextRecord().value("end").toString(), "closed");
}

TEST(DisplayProcess, ALogReaderThatGoesAwayStopsTheLogNotTheDisplay) {
    Display display(Headless());
    const uint16_t port = display.Listening();
    display.CloseOutput();  // as `afficheur-display --log | head -n1`

    ASSERT_TRUE(SendMessage(port, "premier"));
    EXPECT_TRUE(display.ErrorsShow("logging stops")) << display.Errors();
    // Still running: a message it cannot show says so on stderr, once.
    ASSERT_TRUE(SendMessage(port,
                            "\xFF"
                            "216"));
    EXPECT_TRUE(display.ErrorsShow("names no palette index")) << display.Errors();
    EXPECT_EQ(display.ExitCode(milliseconds(200)), -1) << "the display ended";
    const std::string errors = display.Errors();
    EXPECT_EQ(errors.find("logging stops"), errors.rfind("logging stops")) << errors;
}

TEST(DisplayProcess, NoLogLineCarriesAControlCharacter) {
    Display display(Headless());
    const uint16_t port = display.Listening();

    // A colour text (naming no palette index, so that it is noted on stderr too) that would
    // clear the terminal and forge a second line, with DEL and a C1 control (0x81 is U+0081
    // in Windows-1252).
    const std::string forged =
        "\xFF"
        "216\x1B[2J\nafficheur-display: forged\x7F\x81";
    ASSERT_TRUE(SendMessage(port, forged));
    const auto line = display.NextLine();
    ASSERT_TRUE(line);
    for (std::size_t i = 0; i < line->size(); ++i) {
        const auto byte = static_cast<unsigned char>((*line)[i]);
        const auto next = i + 1 < line->size() ? static_cast<unsigned char>((*line)[i + 1]) : 0;
        EXPECT_FALSE(byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next <= 0x9F))
            << "control byte at " << i << " of " << *line;
    }
    const auto record = QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object();
    EXPECT_EQ(record.value("text").toString(),
              QString::fromUtf8("16\x1B[2J\nafficheur-display: forged\x7F\xC2\x81"));

    ASSERT_TRUE(display.ErrorsShow("names no palette index")) << display.Errors();
    const std::string errors = display.Errors();
    EXPECT_NE(errors.find("\\x1B[2J\\nafficheur-display: forged\\x7F\\u0081"), std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("\nafficheur-display: forged"), std::string::npos) << errors;
}

TEST(DisplayProcess, WarnsOnceWhenListeningBeyondLoopback) {
    struct Case {
        const char* listen;
        bool warns;
    };
    const Case cases[] = {
        {"127.0.0.1:0", false},
        {"127.0.0.2:0", false},
        {"localhost:0", false},
        {"[::1]:0", false},
        // A documentation address no machine holds: the display warns, then waits for the
        // address as for a network not up yet (never opening a port beyond loopback).
        {"192.0.2.1:0", true},
    };
    for (const auto& c : cases) {
        Display display({"--headless", "--log", "--listen", c.listen});
        if (c.warns) {
            EXPECT_TRUE(display.ErrorsShow("trying again every 2 s")) << display.Errors();
        } else {
            EXPECT_TRUE(display.NextLine()) << c.listen << ": " << display.Errors();
        }
        const std::string errors = display.Errors();
        const auto warning = errors.find("is not a loopback address");
        EXPECT_EQ(warning != std::string::npos, c.warns) << c.listen << ": " << errors;
        EXPECT_EQ(warning, errors.rfind("is not a loopback address")) << errors;
        if (c.warns) {
            EXPECT_NE(errors.find("--allow 192.168.1.10"), std::string::npos) << errors;
        }
    }
}

TEST(DisplayProcess, TakesMessagesOnlyFromTheAllowedNetworks) {
    auto args = Headless(3000);
    args.insert(args.end(), {"--allow", "127.0.0.1/32", "--allow", "127.0.0.4/31"});
    Display display(args);
    const uint16_t port = display.Listening();
    ASSERT_NE(port, 0);

    Connection stranger(port, 0, 2);
    ASSERT_TRUE(stranger.connected());
    stranger.Send("Gratuit");  // may fail: the display closes it unread
    EXPECT_TRUE(stranger.ClosedByPeer(kPatience));
    ASSERT_TRUE(display.ErrorsShow("closed unread: not in --allow")) << display.Errors();
    EXPECT_NE(display.Errors().find("127.0.0.2:"), std::string::npos) << display.Errors();

    // Neither the stranger's message nor its refusal is a record: the register's comes next.
    for (const int from : {1, 5}) {
        ASSERT_TRUE(SendMessage(port, "Total 12,40", from));
        const auto record = display.NextRecord();
        EXPECT_EQ(record.value("text").toString(), "Total 12,40") << from;
        EXPECT_TRUE(
            record.value("peer").toString().startsWith(QStringLiteral("127.0.0.%1:").arg(from)))
            << from;
    }
}

TEST(DisplayProcess, RefusesConnectionsPastItsLimitAndRecovers) {
    auto args = Headless(3000);
    args.insert(args.end(), {"--max-connections", "4"});
    Display display(args);
    const uint16_t port = display.Listening();

    std::vector<std::unique_ptr<Connection>> held;
    for (int i = 0; i < 6; ++i)
        held.push_back(std::make_unique<Connection>(port));
    // The 2 past the 4 held are refused at once, unread: the first is logged, the second only
    // counted, as a flood would be; then the 4 time out, and the count comes out at the end of
    // its 10 s.
    std::vector<QString> ends;
    for (int i = 0; i < 5; ++i)
        ends.push_back(display.NextRecord().value("end").toString());
    EXPECT_EQ(ends, (std::vector<QString>{"refused", "silent", "silent", "silent", "silent"}));
    const auto count = display.NextRecord();
    EXPECT_EQ(count.value("kind").toString(), "refusals");
    EXPECT_EQ(count.value("source").toString(), "127.0.0.1");
    EXPECT_EQ(count.value("count").toInt(), 1);
    held.clear();
    ASSERT_TRUE(SendMessage(port, "encore"));
    EXPECT_EQ(display.NextRecord().value("text").toString(), "encore");
}

TEST(DisplayProcess, ServesTheRegisterWhileAnotherAddressHoldsItsShare) {
    struct Held {
        int index;  // in holders
        const char* end;
    };
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<int> holders;   // each an unfinished message from 127.0.0.<n>, in order
        std::vector<Held> records;  // before the register's message, in order
    };
    const Case cases[] = {
        {"one address holding every slot, its next refused",
         {"--max-connections", "4"},
         {2, 2, 2, 2, 2},
         {{4, "refused"}, {0, "cut"}}},
        {"the address that holds the most gives way",
         {"--max-connections", "4"},
         {3, 2, 2, 2},
         {{1, "cut"}}},
        {"a share set by --share-connections",
         {"--max-connections", "8", "--share-connections", "2"},
         {2, 2, 2},
         {{2, "refused"}}},
        {"the register's own stuck connection first on a tie",
         {"--max-connections", "4"},
         {1, 2, 2, 1},
         {{0, "cut"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto args = Headless(60000);  // nothing held ends by itself
        args.insert(args.end(), {"--message-timeout", "60000"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        Display display(args);
        const uint16_t port = display.Listening();
        ASSERT_NE(port, 0);
        std::vector<std::unique_ptr<Connection>> holders;
        for (const int from : c.holders) {
            holders.push_back(std::make_unique<Connection>(port, 0, from));
            ASSERT_TRUE(holders.back()->Send("Prom"));
        }

        ASSERT_TRUE(SendMessage(port, "Total 12,40"));
        for (const Held& held : c.records) {
            const auto record = display.NextRecord();
            EXPECT_EQ(record.value("peer").toString().toStdString(), holders[held.index]->Peer());
            EXPECT_EQ(record.value("end").toString(), held.end);
            EXPECT_FALSE(record.value("shown").toBool(true));
            EXPECT_TRUE(holders[held.index]->ClosedByPeer(kPatience));
            if (std::string(held.end) == "cut") {
                EXPECT_TRUE(record.value("note").toString().contains("to make room for 127.0.0.1:"))
                    << record.value("note").toString().toStdString();
            }
        }
        const auto served = display.NextRecord();
        EXPECT_EQ(served.value("text").toString(), "Total 12,40");
        EXPECT_TRUE(served.value("shown").toBool());
        EXPECT_TRUE(served.value("peer").toString().startsWith("127.0.0.1:"));
    }
}

TEST(DisplayProcess, InStallModeHoldsConnectionsUnread) {
    auto args = Headless(3000);  // held connections close only after the idle timeout
    args.insert(args.end(), {"--stall", "--max-connections", "2"});
    Display display(args);
    const uint16_t port = display.Listening();

    Connection first(port);
    ASSERT_TRUE(first.Send("jamais lu"));
    first.EndMessage();
    Connection second(port);
    Connection third(port);
    std::vector<QString> ends;
    for (int i = 0; i < 3; ++i) {
        const auto record = display.NextRecord();
        EXPECT_EQ(record.value("kind").toString(), "none");
        EXPECT_EQ(record.value("bytes").toString(), "");
        ends.push_back(record.value("end").toString());
    }
    EXPECT_EQ(ends, (std::vector<QString>{"stalled", "stalled", "refused"}));
    EXPECT_TRUE(third.ClosedByPeer(kPatience));
    EXPECT_FALSE(second.ClosedByPeer(milliseconds(600)));
}

TEST(DisplayProcess, InStallModeFreesEachHeldConnectionAfterTheIdleTimeout) {
    auto args = Headless(300);
    args.insert(args.end(), {"--stall", "--max-connections", "1"});
    Display display(args);
    const uint16_t port = display.Listening();

    // Nothing is read, so a sender's close is never seen: only the timeout frees the one
    // slot, or every connection after the first would be refused.
    for (int i = 0; i < 3; ++i) {
        Connection sender(port);
        ASSERT_TRUE(sender.Send("jamais lu"));
        sender.EndMessage();
        const auto held = display.NextRecord();
        EXPECT_EQ(held.value("end").toString(), "stalled") << i;
        ASSERT_TRUE(sender.ClosedByPeer(kPatience)) << i;
        const auto closed = display.NextRecord();
        EXPECT_EQ(closed.value("end").toString(), "silent") << i;
        EXPECT_EQ(closed.value("peer").toString(), held.value("peer").toString()) << i;
        EXPECT_FALSE(closed.value("shown").toBool(true)) << i;
    }
}

TEST(DisplayProcess, OptionsAndStartFailuresEndWithAReason) {
    {
        Display display({"--version"}, false);
        EXPECT_NE(display.RestOfOutput().find("afficheur-display"), std::string::npos);
        EXPECT_EQ(display.ExitCode(), 0);
    }
    {
        Display display({"--help"}, false);
        EXPECT_NE(display.RestOfOutput().find("--idle-timeout"), std::string::npos);
        EXPECT_EQ(display.ExitCode(), 0);
    }
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {"listen without a port", {"--headless", "--listen", "127.0.0.1"}, 2},
        {"listen on a port past 65535", {"--headless", "--listen", "127.0.0.1:65536"}, 2},
        {"listen on no address", {"--headless", "--listen", "nowhere:9100"}, 2},
        {"idle timeout not a number", {"--headless", "--idle-timeout", "soon"}, 2},
        {"idle timeout zero", {"--headless", "--idle-timeout", "0"}, 2},
        {"message timeout not a number", {"--headless", "--message-timeout", "soon"}, 2},
        {"message timeout past an hour", {"--headless", "--message-timeout", "3600001"}, 2},
        {"no connection allowed", {"--headless", "--max-connections", "0"}, 2},
        {"an unknown encoding", {"--headless", "--encoding", "latin1"}, 2},
        {"--allow not an address", {"--headless", "--allow", "register"}, 2},
        {"--allow an IPv4 prefix past 32", {"--headless", "--allow", "127.0.0.1/33"}, 2},
        {"--allow an address in another form", {"--headless", "--allow", "127.1"}, 2},
        {"--share-connections zero", {"--headless", "--share-connections", "0"}, 2},
        {"--share-connections not a number", {"--headless", "--share-connections", "many"}, 2},
        {"a configuration file that is not there", {"--config", "/nonexistent/display.conf"}, 2},
        {"--restore-within not a number", {"--headless", "--restore-within", "soon"}, 2},
        {"--welcome-after zero", {"--headless", "--welcome-after", "0"}, 2},
        {"unknown option", {"--headless", "--fast"}, 1},
        {"a window without a display server", {"--listen", "127.0.0.1:0"}, 1},
    };
    for (const auto& c : cases) {
        Display display(c.args, false);
        EXPECT_EQ(display.ExitCode(), c.code) << c.name;
    }
}

// A state file another user could turn against the display's user ends the start with status
// 2 and a line naming it; a FIFO there no longer hangs the start.
TEST(DisplayProcess, RefusesAStateFileOthersCouldReplace) {
    TempFolder folder;
    const auto shared = folder.path() / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    ASSERT_EQ(::mkfifo((folder.path() / "fifo.json").c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {(shared / "shop-display.json").string(),
         shared.string() + " may be written by every user"},
        {(folder.path() / "fifo.json").string(), "fifo.json is not a regular file"},
    };
    for (const auto& [state, says] : cases) {
        Display display({"--headless", "--listen", "127.0.0.1:0", "--state", state});
        EXPECT_EQ(display.ExitCode(), 2) << state;
        EXPECT_NE(display.Errors().find(says), std::string::npos) << display.Errors();
    }
}

TEST(DisplayProcess, TakesItsOptionsFromAConfigurationFileBeforeTheCommandLines) {
    TempFolder folder;
    const auto config = (folder.path() / "display.conf").string();
    WriteFile(config,
              "# a display for the tests\n"
              "headless\n"
              "log\n"
              "listen = 127.0.0.1:1\n"
              "encoding = utf-8\n");
    // The command line's --listen comes after the file's, and wins.
    Display display({"--config", config, "--listen", "127.0.0.1:0"}, false);
    const uint16_t port = display.Listening();
    ASSERT_NE(port, 0);
    ASSERT_TRUE(SendMessage(port,
                            "\xC5\x81\xC3\xB3"
                            "d\xC5\xBA"));
    EXPECT_EQ(display.NextRecord().value("text").toString(), QString::fromUtf8("Łódź"));

    WriteFile(config, "headless\nfast = yes\n");
    Display refused({"--config", config}, false);
    EXPECT_EQ(refused.ExitCode(), 2);
    EXPECT_TRUE(refused.ErrorsShow(config + ":2: unknown option 'fast'"));
}

// What the service manager hears on its notify socket, one datagram at a time, until count
// datagrams or the one named last came.
std::vector<std::string> Notifications(int socket, std::size_t count,
                                       const std::string& last = {}) {
    std::vector<std::string> heard;
    const auto deadline = displaytest::Clock::now() + displaytest::kPatience;
    while (heard.size() < count && displaytest::Clock::now() < deadline &&
           (last.empty() || heard.empty() || heard.back() != last)) {
        pollfd p{socket, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char datagram[512];
        const ssize_t n = ::recv(socket, datagram, sizeof datagram, 0);
        if (n > 0) heard.emplace_back(datagram, static_cast<std::size_t>(n));
    }
    return heard;
}

TEST(DisplayProcess, TellsTheServiceManagerItIsReadyAndAliveAndStopping) {
    TempFolder folder;
    const std::string path = (folder.path() / "notify").string();
    const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    ::setenv("WATCHDOG_USEC", "200000", 1);  // a ping every 100 ms
    Display display(Headless());
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("WATCHDOG_USEC");
    ASSERT_NE(display.Listening(), 0);
    const auto heard = Notifications(socket, 3);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].rfind("READY=1\nSTATUS=taking messages on 127.0.0.1:", 0), 0u) << heard[0];
    EXPECT_EQ(heard[1], "WATCHDOG=1");
    EXPECT_EQ(heard[2], "WATCHDOG=1");
    display.Signal(SIGTERM);
    EXPECT_EQ(display.ExitCode(), 0);
    const auto after = Notifications(socket, 1000, "STOPPING=1");
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), "STOPPING=1");
    ::close(socket);
}

TEST(DisplayProcess, ASenderOfBadMessagesGetsOneNoteLineThenACount) {
    Display display(Headless());
    const uint16_t port = display.Listening();
    ASSERT_NE(port, 0);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(SendMessage(port,
                                "\xFF"
                                "9 bad " +
                                    std::to_string(i)));
        ASSERT_EQ(display.NextRecord().value("kind").toString(), "unknown");  // each logged
    }
    const std::string errors = display.Errors();
    std::size_t notes = 0;
    for (std::size_t at = errors.find("from 127.0.0.1:"); at != std::string::npos;
         at = errors.find("from 127.0.0.1:", at + 1)) {
        ++notes;
    }
    EXPECT_EQ(notes, 1u) << errors;
}

TEST(DisplayProcess, EndsWithAReasonWhenItsPortIsTaken) {
    Display first(Headless());
    const uint16_t port = first.Listening();
    Display second({"--headless", "--listen", "127.0.0.1:" + std::to_string(port)});
    EXPECT_EQ(second.ExitCode(), 1);
}

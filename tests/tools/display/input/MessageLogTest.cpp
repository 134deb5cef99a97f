// The message log (--log), in process: the line each reception makes, as the readers of the
// log rely on it, and its bounds.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>

#include "input/Report.h"

namespace display {
namespace {

QJsonObject LineOf(const Reception& reception) {
    const Outcome outcome = Judge(reception, 5000);
    const QByteArray line =
        JsonLine(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), reception, outcome);
    EXPECT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1) << "one line per reception";
    return QJsonDocument::fromJson(line).object();
}

Reception Received(QByteArray bytes, Ending ending = Ending::Closed) {
    Reception reception;
    reception.peer = QStringLiteral("127.0.0.1:40312");
    reception.bytes = std::move(bytes);
    reception.ending = ending;
    return reception;
}

TEST(MessageLog, EachReceptionMakesItsLine) {
    struct Case {
        const char* name;
        Reception reception;
        const char* kind;
        const char* text;
        const char* end;
        bool shown;
    };
    const Case cases[] = {
        {"a text in Windows-1252", Received("Caf\xE9"), "text", "Caf\xC3\xA9", "closed", true},
        {"a scrolling text",
         Received("\xFF"
                  "1Soldes"),
         "scroll", "Soldes", "closed", true},
        {"a colour naming no index",
         Received("\xFF"
                  "216"),
         "colour", "16", "closed", false},
        {"an unknown command",
         Received("\xFF"
                  "9x"),
         "unknown", "x", "closed", false},
        {"a silent sender's bytes", Received("Pro", Ending::Silent), "text", "Pro", "silent",
         false},
        {"a refused connection", Received("", Ending::Refused), "none", "", "refused", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject line = LineOf(c.reception);
        EXPECT_EQ(line.value("time").toString(), "1970-01-01T00:00:00.000Z");
        EXPECT_EQ(line.value("peer").toString(), "127.0.0.1:40312");
        EXPECT_EQ(line.value("kind").toString().toStdString(), c.kind);
        EXPECT_EQ(line.value("text").toString().toStdString(), c.text);
        EXPECT_EQ(line.value("bytes").toString().toStdString(),
                  QByteArray(c.reception.bytes).toHex().toUpper().toStdString());
        EXPECT_EQ(line.value("end").toString().toStdString(), c.end);
        EXPECT_EQ(line.value("shown").toBool(), c.shown);
        EXPECT_EQ(line.contains("note"), !c.shown) << "a message not shown says why";
    }
    EXPECT_EQ(LineOf(Received("\xFF"
                              "2 12"))
                  .value("colour")
                  .toInt(),
              12);
    EXPECT_TRUE(LineOf(Received("\xFF"
                                "216"))
                    .value("colour")
                    .isNull());
    EXPECT_EQ(LineOf(Received("\xFF"
                              "9x"))
                  .value("command")
                  .toString(),
              "39");
}

TEST(MessageLog, ALongMessageKeepsItsFirstPartAndSaysHowLongItWas) {
    const QByteArray bytes(10000, 'a');
    const QJsonObject line = LineOf(Received(bytes));
    EXPECT_TRUE(line.value("truncated").toBool());
    EXPECT_EQ(line.value("bytesLength").toInt(), 10000);
    EXPECT_EQ(line.value("textLength").toInt(), 10000);
    EXPECT_EQ(line.value("bytes").toString().size(), 2 * 4096);
    EXPECT_EQ(line.value("text").toString().size(), 4096);
    EXPECT_FALSE(LineOf(Received("short")).contains("truncated"));
}

TEST(MessageLog, ControlCharactersAreEscapedNeverWritten) {
    const QByteArray line =
        JsonLine(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), Received("a\x1B[2Jb\n\x7F"),
                 Judge(Received("a\x1B[2Jb\n\x7F"), 5000));
    for (const char c : line.chopped(1)) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte >= 0x20 && byte != 0x7F) << "a raw control byte " << int(byte);
    }
    EXPECT_TRUE(line.contains("\\u001b")) << line.toStdString();
}

}  // namespace
}  // namespace display

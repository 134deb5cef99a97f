#include "Report.h"

#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "board/Json.h"
#include "common/Log.h"
#include "shared/HostPort.h"
#include "shared/Peer.h"

namespace display {

namespace {

std::string Time(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs).toStdString();
}

// One log line: every control character in it is escaped (see JsonString), so it can neither
// break the line nor drive a terminal.
QByteArray Line(const JsonObject& object) {
    return QByteArray::fromStdString(object.Text(JsonObject::Order::ByKey)) + '\n';
}

QString HexByte(uint8_t byte) {
    return QString::fromStdString(Hex(std::string_view(reinterpret_cast<const char*>(&byte), 1)));
}

// The characters of a UTF-8 text (Decode's texts are well-formed), and where its first
// limit of them end.
struct Characters {
    std::size_t count = 0;
    std::size_t end = 0;  // in bytes
};

Characters CountCharacters(std::string_view text, std::size_t limit) {
    Characters characters{0, text.size()};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation
        if (characters.count == limit) characters.end = i;
        ++characters.count;
    }
    return characters;
}

}  // namespace

Outcome Judge(const Reception& reception, int idleTimeoutMs, protocol::Encoding encoding) {
    Outcome outcome;
    QStringList notes;
    outcome.message =
        display::Decode(std::string_view(reception.bytes.constData(),
                                         static_cast<std::size_t>(reception.bytes.size())),
                        encoding);
    outcome.shown = true;
    switch (reception.ending) {
        case Ending::Closed:
            break;
        case Ending::Reset:
            notes << QStringLiteral("connection broke (%1); what arrived is taken as the message")
                         .arg(reception.reason);
            break;
        case Ending::Cut:
            notes
                << QStringLiteral("message longer than %1 bytes, cut there").arg(kMaxMessageBytes);
            break;
        case Ending::Late:
            // Past its deadline a message is as unfinished as a silent one.
            outcome.shown = false;
            notes << QStringLiteral("%1: connection closed, unfinished message not shown")
                         .arg(reception.reason);
            break;
        case Ending::Silent:
            outcome.shown = false;
            notes << QStringLiteral(
                         "nothing arrived for %1 ms: connection closed, unfinished "
                         "message not shown")
                         .arg(idleTimeoutMs);
            break;
        case Ending::Refused:
            outcome.shown = false;
            notes << QStringLiteral("too many connections at once: closed unread");
            break;
        case Ending::Stalled:
            outcome.shown = false;  // nothing is read, nothing to note: it was asked for
            break;
    }
    if (outcome.message.kind == Kind::Unknown) {
        outcome.shown = false;
        notes << (outcome.message.command
                      ? QStringLiteral("unknown command byte 0x%1, ignored")
                            .arg(HexByte(*outcome.message.command))
                      : QStringLiteral("command byte missing after 0xFF, ignored"));
    } else if (outcome.message.kind == Kind::Total && !outcome.message.amounts) {
        outcome.shown = false;
        notes << QStringLiteral(
                     "total \"%1\" is not one or two lines of a label, a TAB and an amount, "
                     "ignored")
                     .arg(QString::fromStdString(Excerpt(outcome.message.text)));
    } else if (outcome.message.kind == Kind::Qr && !outcome.message.qr) {
        outcome.shown = false;
        notes << QStringLiteral(
                     "QR code \"%1\" is not a caption, a line feed and a payload of at most %2 "
                     "bytes, ignored")
                     .arg(QString::fromStdString(Excerpt(outcome.message.text)))
                     .arg(protocol::kMaxQrPayloadBytes);
    } else if (outcome.message.kind == Kind::Colour && !outcome.message.colour) {
        outcome.shown = false;
        notes << QStringLiteral("colour \"%1\" names no palette index (0 to 15), ignored")
                     .arg(QString::fromStdString(Excerpt(outcome.message.text)));
    }
    outcome.note = notes.join(QStringLiteral("; "));
    return outcome;
}

QByteArray JsonLine(const QDateTime& time, const Reception& reception, const Outcome& outcome) {
    const Message& message = outcome.message;
    const bool unread = reception.ending == Ending::Refused || reception.ending == Ending::Stalled;
    // A long message is kept in part: the line stays a few KiB whatever was sent.
    const bool truncated = reception.bytes.size() > static_cast<qsizetype>(kLoggedBytes);
    const Characters text = CountCharacters(message.text, kLoggedBytes);
    JsonObject line;
    line.String("time", Time(time))
        .String("peer", reception.peer.toStdString())
        .String("kind", unread ? std::string_view("none") : KindName(message.kind))
        .String("text", std::string_view(message.text).substr(0, text.end))
        .String("bytes",
                Hex(std::string_view(
                    reception.bytes.constData(),
                    std::min(static_cast<std::size_t>(reception.bytes.size()), kLoggedBytes))))
        .String("end", EndingName(reception.ending).toStdString())
        .Bool("shown", outcome.shown);
    if (message.kind == Kind::Colour) {
        if (message.colour) {
            line.Number("colour", *message.colour);
        } else {
            line.Null("colour");
        }
    }
    if (message.kind == Kind::Unknown && !unread) {
        if (message.command) {
            line.String("command", HexByte(*message.command).toStdString());
        } else {
            line.Null("command");
        }
    }
    if (!outcome.note.isEmpty()) line.String("note", outcome.note.toStdString());
    if (truncated) {
        line.Bool("truncated", true)
            .Number("bytesLength", reception.bytes.size())
            .Number("textLength", static_cast<std::int64_t>(text.count));
    }
    return Line(line);
}

void NoteLines::Write(const Reception& reception, const Outcome& outcome) {
    if (outcome.note.isEmpty()) return;
    // Counted by the sender's address, whatever its port: each message comes on a connection of
    // its own.
    const auto endpoint = SplitHostPort(reception.peer);
    const QHostAddress address(endpoint ? endpoint->host : reception.peer);
    const std::string from =
        "from " + (address.isNull() ? reception.peer.toStdString() : ShareKey(address));
    lines_.Write(from, "notes",
                 QStringLiteral("from %1: %2").arg(reception.peer, outcome.note).toStdString());
}

LoggedRefusals::LoggedRefusals(std::function<void(const QByteArray&)> write,
                               std::chrono::milliseconds interval)
    : limiter_(interval, [write = std::move(write)](const LineLimiter::Summary& summary) {
          write(Line(JsonObject()
                         .Number("count", summary.counted)
                         .String("kind", "refusals")
                         .Number("seconds", summary.seconds)
                         .String("source", summary.source)
                         .String("time", Time(QDateTime::currentDateTimeUtc()))));
      }) {}

bool LoggedRefusals::Pass(const Reception& reception) {
    return limiter_.Pass(ShareKey(reception.address), "refusals");
}

QByteArray ListeningLine(const QDateTime& time, const QString& address) {
    return Line(JsonObject()
                    .String("time", Time(time))
                    .String("kind", "listening")
                    .String("address", address.toStdString()));
}

QByteArray ServingLine(const QDateTime& time, const QString& address) {
    return Line(JsonObject()
                    .String("time", Time(time))
                    .String("kind", "http")
                    .String("address", address.toStdString())
                    .String("url", "http://" + address.toStdString() + "/"));
}

}  // namespace display

#include "Report.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <string_view>

#include "common/Log.h"
#include "shared/HostPort.h"
#include "shared/Peer.h"

namespace display {

namespace {

QString Time(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

// JSON escapes the C0 controls itself but lets DEL and the C1 controls (U+0080 to U+009F)
// through, and a terminal acts on those too. Outside strings the line is plain ASCII, so each
// such byte sequence is inside a string and may be replaced by its escape.
QByteArray EscapeRemainingControls(const QByteArray& json) {
    QByteArray out;
    out.reserve(json.size());
    for (qsizetype i = 0; i < json.size(); ++i) {
        const auto byte = static_cast<unsigned char>(json[i]);
        const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0;
        if (byte == 0x7F) {
            out += "\\u007f";
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += "\\u00" + QByteArray::number(next, 16);
            ++i;
        } else {
            out += json[i];
        }
    }
    return out;
}

QByteArray Line(const QJsonObject& object) {
    return EscapeRemainingControls(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
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
    QJsonObject line{
        {"time", Time(time)},
        {"peer", reception.peer},
        {"kind", unread ? QStringLiteral("none")
                        : QString::fromUtf8(KindName(message.kind).data(),
                                            static_cast<qsizetype>(KindName(message.kind).size()))},
        {"text", QString::fromUtf8(message.text.data(), static_cast<qsizetype>(text.end))},
        {"bytes",
         QString::fromLatin1(
             reception.bytes.left(static_cast<qsizetype>(kLoggedBytes)).toHex().toUpper())},
        {"end", EndingName(reception.ending)},
        {"shown", outcome.shown},
    };
    if (message.kind == Kind::Colour) {
        line["colour"] = message.colour ? QJsonValue(*message.colour) : QJsonValue();
    }
    if (message.kind == Kind::Unknown && !unread) {
        line["command"] = message.command ? QJsonValue(HexByte(*message.command)) : QJsonValue();
    }
    if (!outcome.note.isEmpty()) line["note"] = outcome.note;
    if (truncated) {
        line["truncated"] = true;
        line["bytesLength"] = reception.bytes.size();
        line["textLength"] = static_cast<qint64>(text.count);
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

QByteArray ListeningLine(const QDateTime& time, const QString& address) {
    return Line(QJsonObject{
        {"time", Time(time)},
        {"kind", QStringLiteral("listening")},
        {"address", address},
    });
}

QByteArray ServingLine(const QDateTime& time, const QString& address) {
    return Line(QJsonObject{
        {"time", Time(time)},
        {"kind", QStringLiteral("http")},
        {"address", address},
        {"url", QStringLiteral("http://%1/").arg(address)},
    });
}

}  // namespace display

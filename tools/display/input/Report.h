#pragma once
// What the display does with one received connection, and the log line that records it.
//
// The log is one JSON object per line (UTF-8), the first one saying where the display
// listens, then one per connection:
//   {"time":"2024-05-01T09:30:00.123Z","kind":"listening","address":"127.0.0.1:9100"}
//   {"time":...,"peer":"127.0.0.1:40312","kind":"colour","text":"12","colour":12,
//    "bytes":"FF323132","end":"closed","shown":true}
// kind is text, scroll, colour, register, unknown, or none for a connection not read (refused
// or stalled); end is closed, reset, cut, silent, refused or stalled (see Receiver.h); shown says
// whether the message changed what the display shows; note, present when something was wrong, says
// what in words; colour (colour messages) is the palette index or null; command (unknown commands)
// is the command byte in hex, or null for 0xFF alone. A message longer than kLoggedBytes (4 KiB,
// far more than a register sends) keeps its first kLoggedBytes in bytes and its first
// kLoggedBytes characters in text, and says so: "truncated":true, with "bytesLength" (all its
// bytes) and "textLength" (all its text's characters); these three are absent otherwise.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>

#include "Receiver.h"
#include "board/Message.h"
#include "shared/LimitedLines.h"
#include "shared/LineLimiter.h"

namespace display {

// The most of a message's bytes, and of its text's characters, that a log line holds.
inline constexpr std::size_t kLoggedBytes = 4096;

struct Outcome {
    Message message;
    bool shown = false;  // apply message to the board
    QString note;        // empty when all was well
};

// Decodes the reception and decides whether it is shown: a whole, cut or reset message is;
// an unfinished one (silent, or cut at its deadline), a refused connection, an unknown command and
// a colour naming no palette index are not, and say why in the note.
// Texts are read in the given encoding. A note quotes at most a few hundred characters of the
// message (Excerpt).
Outcome Judge(const Reception& reception, int idleTimeoutMs,
              protocol::Encoding encoding = protocol::Encoding::Windows1252);

// The log line for one reception, newline included. Every control character in it is escaped
// (JSON's own escapes, and \u007f to \u009f for DEL and the C1 controls), so a line read on a
// terminal shows what was sent and does nothing else.
QByteArray JsonLine(const QDateTime& time, const Reception& reception, const Outcome& outcome);

// Writes the receptions' notes on stderr ("from 127.0.0.1:40312: unknown command byte 0x34,
// ignored"), limited by sender address (an IPv6 one by its /64, as the receiver shares its
// slots): the first of a burst whole, then a count every 10 s ("from 127.0.0.1: 57 more notes
// in the last 10 s"); the --log line of each keeps its note. Lives on the thread that made it.
class NoteLines {
  public:
    // Writes outcome's note, if any.
    void Write(const Reception& reception, const Outcome& outcome);

  private:
    LimitedLines lines_;
};

// Keeps the log's records of refused connections to a few per sender address (an IPv6 one by
// its /64), as stderr keeps its lines: the first of a burst is written, the rest only counted,
// and once the burst's 10 s are over one line gives the count:
//   {"count":57,"kind":"refusals","seconds":10,"source":"127.0.0.2","time":"..."}
// ("source" is empty for the senders past the 64 followed at once). So a sender whose every
// connection is refused cannot fill the disk that holds the log. Lives on the thread that
// made it.
class LoggedRefusals {
  public:
    // write takes each summary line.
    explicit LoggedRefusals(std::function<void(const QByteArray&)> write,
                            std::chrono::milliseconds interval = kLimitedLinesInterval);

    // Whether the record of reception, a refused connection, is to be written now.
    bool Pass(const Reception& reception);

  private:
    LimitedLines limiter_;
};

// The first log line: where the display listens, newline included.
QByteArray ListeningLine(const QDateTime& time, const QString& address);

// The log line that says where the page is served, newline included:
//   {"address":"127.0.0.1:8080","kind":"http","time":"...","url":"http://127.0.0.1:8080/"}
QByteArray ServingLine(const QDateTime& time, const QString& address);

}  // namespace display

#pragma once
// afficheur-display's link to LCDd, the daemon that drives pole displays and character LCDs:
// it speaks LCDd's line protocol as a client and keeps the board on the device.
//
// Never blocks: connecting, host lookup, writing and reading are all asynchronous on the
// thread that made the link, so the receiver goes on taking messages whatever LCDd does.
// When LCDd is absent, stops, restarts or hangs, the link logs one line when it goes down
// (or cannot be made at start) and one when it is back, tries again every 2 s, and on each new
// connection lays the board out on the size LCDd announces and sends it whole. Afterwards
// only the widgets that changed are sent. LCDd hangs when the connection, the answer to
// "hello", or the next answer while commands wait for one takes longer than kAnswerTimeoutMs.
// An error answer ("huh? ...") is logged with the command that caused it: the first of a burst,
// then a count every 10 s (LimitedLines.h), each quoting a few hundred characters at most of
// what LCDd said.
//
// What comes from LCDd is read a chunk at a time, one per turn of the event loop, and held
// only up to one line: a peer on LCDd's port that writes without end costs neither the
// receiver's time nor memory. "success" and "huh?" are taken as answers only while a command
// waits for one; LCDd sends few lines of its own (listen, ignore, key events), so a peer that
// sends many lines or bytes unasked, or a line too long, is dropped like a hung LCDd (one log
// line) and tried again later. Lives on the thread that made it.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "LcdScreen.h"
#include "LcdText.h"
#include "board/Board.h"
#include "board/BoardView.h"
#include "shared/LimitedLines.h"

namespace display {

inline constexpr const char* kDefaultLcdproc = "127.0.0.1:13666";

struct LcdprocEndpoint {
    QString host;  // a name or an address, without brackets
    quint16 port = 0;
};

// "127.0.0.1:13666", "[::1]:13666", "lcd-box:13666": a host and a port from 1 to 65535.
std::optional<LcdprocEndpoint> ParseLcdprocEndpoint(const QString& text);

class LcdprocLink : public QObject, public BoardView {
    Q_OBJECT

  public:
    // The link's fixed times and bounds.
    static constexpr int kRetryMs = 2000;                 // between two connection attempts
    static constexpr int kAnswerTimeoutMs = 5000;         // for the connection and each answer
    static constexpr qint64 kMaxUnsentBytes = 64 * 1024;  // LCDd not reading past this
    static constexpr std::size_t kMaxUnanswered = 256;    // commands LCDd has not answered
    static constexpr qint64 kReadChunkBytes = 16 * 1024;  // read from LCDd per turn, at most
    static constexpr qint64 kMaxLineBytes = 64 * 1024;    // a line from LCDd longer is garbage
    // LCDd's own lines (listen, ignore, key events) are a few a second at most: more lines or
    // bytes than these unasked within kUnaskedWindowMs is a flood.
    static constexpr int kMaxUnaskedLines = 200;
    static constexpr qint64 kMaxUnaskedBytes = 16 * 1024;
    static constexpr int kUnaskedWindowMs = 10000;

    LcdprocLink(LcdprocEndpoint endpoint, LcdCharset charset, QObject* parent = nullptr);
    ~LcdprocLink() override;
    LcdprocLink(const LcdprocLink&) = delete;
    LcdprocLink& operator=(const LcdprocLink&) = delete;

    // Makes the first connection attempt; later ones follow on their own.
    void Start();

    // Shows the board from now on: sent at once when the link is up (the widgets that
    // changed), or whole on the next connection.
    void Show(const Board& board) override;

    // The text a character display shows for board: a QR code's caption in place of the text
    // (a code cannot be drawn in characters; the sale's total stays under it), else the text.
    static const std::string& ShownText(const Board& board);

    // Up once LCDd answered and took the board; down while the link waits or connects.
    OutputState Health() const override;

    // "host:port" as given.
    QString Address() const;

    // The most bytes from LCDd that the link held at once, read or waiting in its socket, over
    // all its connections (for tests).
    qint64 MostHeld() const { return mostHeld_; }

  signals:
    // The link is up and the whole board went out on it (for tests and the benchmark).
    void up();
    // A connection attempt begins (for tests, to count the retries).
    void connecting();

  private:
    enum class State { Waiting, Connecting, Greeting, Ready };

    // Drop ends the connection at once, and can run inside any call that writes: Qt reports a
    // broken connection from inside the write. So SendChanges and Send say whether the link
    // still holds the connection afterwards, and each member that uses the socket keeps it in
    // a local QPointer and checks Holds before touching it again after such a call. Dropped
    // sockets are deleted by the event loop, never inside a call of the link.
    void Connect();
    void Connected();
    void Read();
    void Answer(const std::string& line);
    // Counts a line LCDd sent without being asked, and drops a link that sends too many.
    void Unasked(const std::string& line);
    void Drop(const QString& reason);
    [[nodiscard]] bool SendChanges();
    [[nodiscard]] bool Send(const std::string& command, bool answered = true);
    // Whether socket is still the link's connection: no drop since it was taken.
    bool Holds(const QPointer<QTcpSocket>& socket) const;

    LcdprocEndpoint endpoint_;
    LcdCharset charset_;
    QPointer<QTcpSocket> socket_;
    QTimer retry_;
    QTimer answerTimeout_;
    QTimer marquee_;  // steps the marquees while a line is too long
    int step_ = 0;    // the marquees' step since the board last changed
    State state_ = State::Waiting;
    bool downReported_ = false;
    LimitedLines errors_;  // LCDd's error answers, kept across connections

    Board board_;  // as last given, to convert only the texts that changed
    LcdTexts texts_;
    std::optional<LcdSize> size_;
    std::vector<LcdWidget> shown_;        // what LCDd has been sent on this connection
    std::deque<std::string> unanswered_;  // commands sent, oldest first
    QByteArray input_;                    // read from LCDd, short of a line's end
    qint64 mostHeld_ = 0;
    QElapsedTimer unaskedSince_;  // the start of the window the two counts below are for
    int unaskedLines_ = 0;
    qint64 unaskedBytes_ = 0;
};

}  // namespace display

#pragma once
// The display link, the form's control `W`: Connect, SendData and Close, which return at
// once and never block the window.
//
// Each Connect ... Close becomes one message: SendData appends to it, Close hands it over.
// Handed-over messages go out one after another, in the order they were closed: for each, a
// TCP connection is opened, the message's bytes are written, and the connection is closed
// once they are delivered, so the display reads exactly one message per connection. A
// connection that is refused, unreachable or silent past the timeout is dropped with one log
// line naming host, port and reason, and the messages behind it still go. At most
// `maxWaiting` messages wait; past that the oldest waiting one is dropped and logged.
//
// Text is UTF-8 and leaves as Windows-1252 bytes, a character the code page lacks as '?' (the
// display's peers expect exactly that); the message's outcome then says how many characters
// were so lost and which, and is logged even when delivered. Nothing is ever read from the
// display.
// Lives on the user-interface thread, which must run a Qt event loop for messages to leave.
// Messages still waiting when the link is destroyed are dropped with one log line.

#include <QObject>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class Error;
class QTcpSocket;

namespace host {

class Connector;

// Error numbers of the link, as the original TCP control numbers them.
inline constexpr int32_t kErrLinkBadState = 40006;  // SendData without Connect
inline constexpr int32_t kErrLinkInvalidArg = 40014;
inline constexpr int32_t kErrLinkOutOfRange = 40021;

class Link final {
  public:
    struct Options {
        // The control's name, the source of its errors and the prefix of its log lines.
        std::string name = "W";
        // How long one message may take, from connecting to delivery.
        int timeoutMilliseconds = 3000;
        // Messages that may wait behind the one being sent (at least 1).
        std::size_t maxWaiting = 256;
        // Appended to the description of a refused Connect: what the user should set.
        std::string advice;
        // Told the outcome of every message, on the user-interface thread, once it is known:
        // delivered or not, and in words (those of its log line when it has one: a failure,
        // or characters the code page lacks). A Connect refused counts as a message that
        // failed. Must not call back into the link.
        std::function<void(bool delivered, const std::string& words)> onOutcome;
    };

    Link();
    explicit Link(Options options);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Starts a message to host:port. Refused with an Error, and no message started, when
    // the host is empty or blank (40014) or the port is not a whole number in 1..65535
    // (40021). A message still open from an earlier Connect is dropped and logged.
    void Connect(const std::string& host, double port);
    // Appends text to the open message. Error 40006 when no message is open.
    void SendData(const std::string& text);
    // Hands the open message over for sending; nothing happens when none is open.
    void Close();

    // Messages handed over and not yet delivered or dropped (the one being sent included).
    std::size_t Pending() const { return waiting_.size() + (sending_ ? 1 : 0); }
    // Messages delivered and messages dropped since the link was made.
    std::size_t Delivered() const { return delivered_; }
    std::size_t Dropped() const { return dropped_; }

  private:
    struct Message {
        std::string host;
        uint16_t port = 0;
        QByteArray bytes;
        std::u32string lost;  // the characters sent as '?', in order
    };

    void SendNext();
    // The connection of the message being sent is up: write it and close.
    void Deliver(qintptr descriptor);
    void Finish(const std::optional<QString>& failure);
    // Runs a step that Qt called (a signal, a queued call): nothing that escapes it reaches Qt.
    void Guarded(const std::function<void()>& step);
    // Reports the refusal of a Connect, then throws it.
    [[noreturn]] void Refuse(const Error& error) const;
    // Logs a message that failed and reports it; reports a delivered one.
    void Outcome(const Message& message, bool delivered, const QString& what) const;
    void Report(bool delivered, const std::string& words) const;

    Options options_;
    QObject context_;  // owns the sockets and scopes every connection to this link
    QTimer timeout_;
    std::optional<Message> open_;
    std::deque<Message> waiting_;
    std::optional<Message> sending_;
    // Opens the connection of the message being sent; kept until the next one starts, so it
    // is never destroyed from inside its own callback.
    std::unique_ptr<Connector> connector_;
    QTcpSocket* socket_ = nullptr;  // owned by context_, deleted later
    std::size_t delivered_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace host

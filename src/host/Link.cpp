#include "host/Link.h"

#include <unistd.h>

#include <QTcpSocket>
#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "common/Error.h"
#include "common/Log.h"
#include "common/NumberText.h"
#include "common/Utf8.h"
#include "host/Connector.h"
#include "host/EventProcedure.h"
#include "platform/Ansi.h"

namespace host {
namespace {

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// A character as the cashier can read it in a tooltip: itself, or U+XXXX when it would not
// show on its own (a combining mark, a space, a control or format character).
std::string Readable(char32_t cp) {
    switch (QChar::category(cp)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
            return QStringLiteral("U+%1")
                .arg(static_cast<uint>(cp), 4, 16, QLatin1Char('0'))
                .toUpper()
                .toStdString();
        default:
            break;
    }
    std::string text;
    utf8::Append(text, cp);
    return text;
}

// "; 3 characters could not be sent as Windows-1252 and show as ?: → Ł ź": how many of a
// message's characters the code page lacks, and the first few different ones in the order
// met; nothing when none was lost.
std::string LostWords(const std::u32string& lost) {
    if (lost.empty()) return {};
    constexpr std::size_t kShown = 10;
    std::vector<char32_t> distinct;
    std::unordered_set<char32_t> seen;
    for (const char32_t cp : lost) {
        if (seen.insert(cp).second) distinct.push_back(cp);
    }
    std::string words = "; " + std::to_string(lost.size()) +
                        (lost.size() == 1 ? " character could not be sent as Windows-1252 and "
                                            "shows as ?:"
                                          : " characters could not be sent as Windows-1252 and "
                                            "show as ?:");
    for (std::size_t i = 0; i < std::min(distinct.size(), kShown); ++i)
        words += " " + Readable(distinct[i]);
    if (distinct.size() > kShown) {
        words += " and " + std::to_string(distinct.size() - kShown) + " others";
    }
    return words;
}

}  // namespace

Link::Link() : Link(Options{}) {}

Link::Link(Options options) : options_(std::move(options)) {
    options_.maxWaiting = std::max<std::size_t>(options_.maxWaiting, 1);
    timeout_.setSingleShot(true);
    QObject::connect(&timeout_, &QTimer::timeout, &context_, [this] {
        Guarded([this] {
            Finish(QStringLiteral("no delivery within %1 ms").arg(options_.timeoutMilliseconds));
        });
    });
}

Link::~Link() {
    if (socket_ != nullptr) {
        socket_->disconnect(&context_);
        socket_->abort();
    }
    const std::size_t lost = waiting_.size() + (sending_ ? 1 : 0);
    if (lost > 0) {
        LogLine(options_.name + ": " + std::to_string(lost) +
                " message(s) to the display not delivered at exit");
    }
}

void Link::Connect(const std::string& host, double port) {
    const std::string source = options_.name + ".Connect";
    const std::string advice = options_.advice.empty() ? "" : "; " + options_.advice;
    if (IsBlank(host)) {
        Refuse(Error(kErrLinkInvalidArg, source, "no display address (host is empty)" + advice));
    }
    if (!(port >= 1 && port <= 65535 && std::floor(port) == port)) {
        const std::string shown = std::isfinite(port) ? NumberText(port) : " (not a number)";
        Refuse(Error(kErrLinkOutOfRange, source,
                     "display port" + shown + " is not a whole number in 1-65535" + advice));
    }
    if (open_) {
        Outcome(*open_, false, QStringLiteral("dropped: never closed"));
        ++dropped_;
    }
    open_ = Message{host, static_cast<uint16_t>(port), {}, {}};
}

void Link::SendData(const std::string& text) {
    if (!open_) {
        throw Error(kErrLinkBadState, options_.name + ".SendData",
                    "Wrong protocol or connection state for the requested transaction or "
                    "request");
    }
    const std::string bytes = platform::ToAnsi(text, &open_->lost);
    open_->bytes.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void Link::Close() {
    if (!open_) return;
    if (waiting_.size() >= options_.maxWaiting) {
        Outcome(waiting_.front(), false,
                QStringLiteral("dropped: more than %1 messages waiting").arg(options_.maxWaiting));
        waiting_.pop_front();
        ++dropped_;
    }
    waiting_.push_back(std::move(*open_));
    open_.reset();
    // Never start a connection from inside the caller's event procedure: the next turn of
    // the event loop does it, so Close returns at once whatever the network does.
    QMetaObject::invokeMethod(
        &context_, [this] { Guarded([this] { SendNext(); }); }, Qt::QueuedConnection);
}

void Link::SendNext() {
    if (sending_ || waiting_.empty()) return;
    sending_ = std::move(waiting_.front());
    waiting_.pop_front();

    timeout_.start(options_.timeoutMilliseconds);
    connector_ = std::make_unique<Connector>([this](qintptr descriptor) { Deliver(descriptor); },
                                             [this](const QString& reason) { Finish(reason); });
    connector_->Start(QString::fromStdString(sending_->host), sending_->port);
}

void Link::Deliver(qintptr descriptor) {
    socket_ = new QTcpSocket(&context_);
    QTcpSocket* socket = socket_;
    QObject::connect(socket, &QTcpSocket::disconnected, &context_,
                     [this] { Guarded([this] { Finish(std::nullopt); }); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, &context_,
                     [this, socket](QAbstractSocket::SocketError error) {
                         Guarded([&] {
                             // The display may close its end once it has read everything.
                             if (error == QAbstractSocket::RemoteHostClosedError &&
                                 socket->bytesToWrite() == 0) {
                                 Finish(std::nullopt);
                             } else {
                                 Finish(socket->errorString());
                             }
                         });
                     });
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        Finish(socket->errorString());
        return;
    }
    socket->write(sending_->bytes);
    // Closes once every byte is written; `disconnected` follows.
    socket->disconnectFromHost();
}

void Link::Finish(const std::optional<QString>& failure) {
    if (!sending_) return;
    timeout_.stop();
    if (connector_) connector_->Cancel();
    if (socket_ != nullptr) {
        socket_->disconnect(&context_);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    const Message finished = std::move(*sending_);
    sending_.reset();
    if (failure) {
        ++dropped_;
        Outcome(finished, false, QStringLiteral("dropped: ") + *failure);
    } else {
        ++delivered_;
        Outcome(finished, true, QStringLiteral("delivered"));
    }
    QMetaObject::invokeMethod(
        &context_, [this] { Guarded([this] { SendNext(); }); }, Qt::QueuedConnection);
}

void Link::Guarded(const std::function<void()>& step) {
    RunEventProcedure(options_.name, step);
}

void Link::Refuse(const Error& error) const {
    Report(false, Describe(error));
    throw error;
}

void Link::Outcome(const Message& message, bool delivered, const QString& what) const {
    const std::string words = options_.name + ": message to " + message.host + ":" +
                              std::to_string(message.port) + " " + what.toStdString() +
                              LostWords(message.lost);
    // A message delivered whole is not worth a line; one that reached the display with '?'
    // in place of some characters is.
    if (!delivered || !message.lost.empty()) LogLine(words);
    Report(delivered, words);
}

void Link::Report(bool delivered, const std::string& words) const {
    if (options_.onOutcome) options_.onOutcome(delivered, words);
}

}  // namespace host

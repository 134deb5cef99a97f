#include "LcdprocLink.h"

#include <algorithm>

#include <utility>

#include "common/Log.h"
#include "shared/HostPort.h"

namespace display {

std::optional<LcdprocEndpoint> ParseLcdprocEndpoint(const QString& text) {
    const auto parts = SplitHostPort(text);
    if (!parts || parts->port == 0 || parts->host.isEmpty() ||
        parts->host.contains(QLatin1Char(' '))) {
        return std::nullopt;
    }
    // An IPv6 address needs its brackets: [::1]:13666.
    if (!parts->bracketed && parts->host.contains(QLatin1Char(':'))) return std::nullopt;
    return LcdprocEndpoint{parts->host, parts->port};
}

LcdprocLink::LcdprocLink(LcdprocEndpoint endpoint, LcdCharset charset, QObject* parent)
    : QObject(parent), endpoint_(std::move(endpoint)), charset_(std::move(charset)) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { Connect(); });
    marquee_.setInterval(kLcdMarqueeStepMs);
    connect(&marquee_, &QTimer::timeout, this, [this] {
        ++step_;
        if (state_ == State::Ready) static_cast<void>(SendChanges());
    });
    answerTimeout_.setSingleShot(true);
    answerTimeout_.setInterval(kAnswerTimeoutMs);
    connect(&answerTimeout_, &QTimer::timeout, this, [this] {
        Drop(QStringLiteral("no LCDd answer within %1 s").arg(kAnswerTimeoutMs / 1000));
    });
}

const std::string& LcdprocLink::ShownText(const Board& board) {
    return !board.qr.empty() && !board.qrCaption.empty() ? board.qrCaption : board.text;
}

LcdprocLink::~LcdprocLink() {
    if (socket_) socket_->disconnect(this);  // no signal reaches a half-destroyed link
}

QString LcdprocLink::Address() const {
    return JoinHostPort(endpoint_.host, endpoint_.port);
}

void LcdprocLink::Start() {
    Connect();
}

void LcdprocLink::Show(const Board& board) {
    const std::string& text = ShownText(board);
    const std::string& before = ShownText(board_);
    if (text != before || board.scroll != board_.scroll ||
        board.registerName != board_.registerName || board.total != board_.total) {
        step_ = 0;  // a marquee starts from its beginning at each change
    }
    if (text != before) texts_.text = ConvertLines(charset_, text);
    if (board.total != board_.total) texts_.total = ConvertLines(charset_, board.total);
    if (board.scroll != board_.scroll) texts_.scroll = charset_.Convert(board.scroll);
    if (board.registerName != board_.registerName) {
        texts_.registerName = charset_.Convert(board.registerName);
    }
    board_ = board;
    if (state_ == State::Ready) static_cast<void>(SendChanges());  // a drop waits for the retry
}

void LcdprocLink::Connect() {
    emit connecting();
    state_ = State::Connecting;
    input_.clear();
    unaskedSince_.invalidate();
    unanswered_.clear();
    shown_.clear();
    size_.reset();
    auto* socket = new QTcpSocket(this);  // the link's; handed to the event loop on its drop
    socket_ = socket;
    // Qt reads no more from the system until the link has taken what it holds: one chunk per
    // turn of the event loop, whatever the peer writes.
    socket->setReadBufferSize(kReadChunkBytes);
    connect(socket, &QTcpSocket::connected, this, [this] { Connected(); });
    connect(socket, &QTcpSocket::readyRead, this, [this] { Read(); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError e) {
                Drop(e == QAbstractSocket::RemoteHostClosedError
                         ? QStringLiteral("LCDd closed the link")
                         : socket->errorString());
            });
    connect(socket, &QTcpSocket::disconnected, this,
            [this] { Drop(QStringLiteral("LCDd closed the link")); });
    answerTimeout_.start();
    socket->connectToHost(endpoint_.host, endpoint_.port);  // may fail, and drop, at once
}

bool LcdprocLink::Holds(const QPointer<QTcpSocket>& socket) const {
    return socket && socket == socket_;
}

void LcdprocLink::Connected() {
    const QPointer<QTcpSocket> socket = socket_;
    if (!socket) return;
    state_ = State::Greeting;
    // Each command leaves in a segment of its own: LCDd drops a line that arrives in pieces.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    static_cast<void>(Send("hello", false));  // the last step: a drop leaves nothing to undo
}

void LcdprocLink::Read() {
    const QPointer<QTcpSocket> socket = socket_;
    if (!socket) return;
    mostHeld_ = std::max(mostHeld_, static_cast<qint64>(input_.size()) + socket->bytesAvailable());
    input_ += socket->read(kReadChunkBytes);  // all the socket holds: its buffer is no larger
    // An answer may send, and a send may drop the link: each line is read only while the link
    // still holds this connection. The lines taken leave the buffer once, at the end.
    qsizetype start = 0;
    qsizetype end = 0;
    while (Holds(socket) && (end = input_.indexOf('\n', start)) >= 0) {
        const std::string line(input_.constData() + start, static_cast<std::size_t>(end - start));
        start = end + 1;
        Answer(line);
    }
    if (!Holds(socket)) return;  // the next connection starts with an empty buffer
    input_.remove(0, start);
    if (input_.size() > kMaxLineBytes) Drop(QStringLiteral("LCDd sent a line too long"));
}

void LcdprocLink::Answer(const std::string& line) {
    if (state_ == State::Greeting) {
        if (line.rfind("connect", 0) != 0) {  // not the answer to hello: LCDd sends none before
            Unasked(line);
            return;
        }
        size_ = ParseConnect(line);
        if (!size_) {
            Drop(QStringLiteral("answer to hello not understood: %1")
                     .arg(QString::fromStdString(Excerpt(line))));
            return;
        }
        answerTimeout_.stop();
        state_ = State::Ready;
        downReported_ = false;
        LogLine(QStringLiteral("LCDd at %1: link up, %2x%3 display")
                    .arg(Address())
                    .arg(size_->width)
                    .arg(size_->height)
                    .toStdString());
        for (const auto& command : SetupCommands(Layout(texts_, *size_, step_))) {
            if (!Send(command)) return;
        }
        if (!SendChanges()) return;
        emit up();
        return;
    }
    const bool success = line == "success";
    const bool refused = line.rfind("huh?", 0) == 0;
    // listen, ignore, key, menuevent, or an answer when no command waits for one: counted only.
    if ((!success && !refused) || unanswered_.empty()) {
        Unasked(line);
        return;
    }
    const std::string command = unanswered_.front();
    unanswered_.pop_front();
    // LCDd is answering: the next command waiting gets its own time, none waiting needs none.
    if (unanswered_.empty()) {
        answerTimeout_.stop();
    } else {
        answerTimeout_.start();
    }
    if (refused) {
        // Limited by kind, not text: an LCDd that refuses everything, each time in other words,
        // writes one line and then a count now and then.
        const QString at = QStringLiteral("LCDd at %1").arg(Address());
        errors_.Write(
            at.toStdString(), "error answers",
            QStringLiteral("%1 refused \"%2\": %3")
                .arg(at, QString::fromLatin1(Excerpt(command)), QString::fromLatin1(Excerpt(line)))
                .toStdString());
    }
}

void LcdprocLink::Unasked(const std::string& line) {
    if (!unaskedSince_.isValid() || unaskedSince_.hasExpired(kUnaskedWindowMs)) {
        unaskedSince_.start();
        unaskedLines_ = 0;
        unaskedBytes_ = 0;
    }
    ++unaskedLines_;
    unaskedBytes_ += static_cast<qint64>(line.size()) + 1;
    const int window = kUnaskedWindowMs / 1000;
    if (unaskedLines_ > kMaxUnaskedLines) {
        Drop(QStringLiteral("LCDd sent more than %1 lines unasked within %2 s")
                 .arg(kMaxUnaskedLines)
                 .arg(window));
    } else if (unaskedBytes_ > kMaxUnaskedBytes) {
        Drop(QStringLiteral("LCDd sent more than %1 bytes unasked within %2 s")
                 .arg(kMaxUnaskedBytes)
                 .arg(window));
    }
}

bool LcdprocLink::SendChanges() {
    // Only a line that moves is sent at each step.
    if (!HasMarquee(texts_, *size_)) {
        marquee_.stop();
    } else if (!marquee_.isActive()) {
        marquee_.start();
    }
    const auto widgets = Layout(texts_, *size_, step_);
    const auto commands = WidgetSets(shown_, widgets);
    shown_ = widgets;
    for (const auto& command : commands) {
        if (!Send(command)) return false;
    }
    return true;
}

bool LcdprocLink::Send(const std::string& command, bool answered) {
    const QPointer<QTcpSocket> socket = socket_;
    if (!socket) return false;
    QByteArray line(command.data(), static_cast<qsizetype>(command.size()));
    line += '\n';
    socket->write(line);
    // Hands it to the system now, as a segment of its own. When LCDd has left, Qt reports the
    // failed write from inside flush(), and the link is dropped before flush() returns.
    socket->flush();
    if (!Holds(socket)) return false;
    if (answered) {
        // The oldest command waiting sets the clock: an LCDd that stops answering is dropped.
        if (unanswered_.empty()) answerTimeout_.start();
        unanswered_.push_back(command);
    }
    if (const qint64 waiting = socket->bytesToWrite(); waiting > kMaxUnsentBytes) {
        Drop(QStringLiteral("LCDd is not reading (%1 bytes waiting)").arg(waiting));
        return false;
    }
    if (unanswered_.size() > kMaxUnanswered) {
        Drop(QStringLiteral("LCDd left %1 commands unanswered").arg(unanswered_.size()));
        return false;
    }
    return true;
}

void LcdprocLink::Drop(const QString& reason) {
    if (state_ == State::Waiting) return;
    const bool wasUp = state_ == State::Ready;
    state_ = State::Waiting;
    answerTimeout_.stop();
    marquee_.stop();
    // Often called from inside one of the socket's own calls (a flush() that found the
    // connection broken): the socket stops speaking to the link and is closed, but only the
    // event loop deletes it, once that call has returned.
    if (const QPointer<QTcpSocket> socket = std::exchange(socket_, nullptr)) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (!downReported_) {
        LogLine(QStringLiteral("LCDd at %1: %2 (%3); trying again every %4 s")
                    .arg(Address(),
                         wasUp ? QStringLiteral("link down") : QStringLiteral("cannot connect"),
                         reason)
                    .arg(kRetryMs / 1000)
                    .toStdString());
        downReported_ = true;
    }
    retry_.start();
}

OutputState LcdprocLink::Health() const {
    return {"lcdproc", Address().toStdString(), state_ == State::Ready};
}

}  // namespace display

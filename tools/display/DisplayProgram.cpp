#include "DisplayProgram.h"

#include <QDateTime>
#include <QHostInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "common/Log.h"
#include "lcd/LcdprocLink.h"
#include "web/WebServer.h"
#include "window/BoardWindow.h"
#include "window/FullScreen.h"

namespace display {

namespace {

constexpr int kAddressRetryMs = 2000;
constexpr int kExitUsage = 2;  // a mistake in the options or the configuration

// Writes one log line; false when stdout no longer takes it (a reader that went away).
bool WriteOut(const QByteArray& line) {
    const auto size = static_cast<std::size_t>(line.size());
    const bool written = std::fwrite(line.constData(), 1, size, stdout) == size;
    return std::fflush(stdout) == 0 && written;  // readers follow the log live
}

}  // namespace

DisplayProgram::DisplayProgram(DisplayOptions options)
    : options_(std::move(options)),
      keeper_(options_.keeping),
      loggedRefusals_([this](const QByteArray& line) { WriteLog(line); }),
      logging_(options_.log) {}

DisplayProgram::~DisplayProgram() = default;

int DisplayProgram::Start() {
    if (const std::string refused = keeper_.StateRefused(); !refused.empty()) {
        LogLine(refused);
        return kExitUsage;
    }
    StartPictures();
    if (!StartInput() || !MakeOutputs()) return EXIT_FAILURE;
    for (const auto& output : outputs_)
        keeper_.AddView(*output);
    if (follower_) follower_->Start();
    serviceManager_ = std::make_unique<ServiceNotifier>(
        follower_ ? QStringLiteral("following %1").arg(options_.follow->toString())
                  : QStringLiteral("taking messages on %1").arg(Source()));
    return EXIT_SUCCESS;
}

void DisplayProgram::Stop() {
    keeper_.Flush();
}

// Where messages come in: the address listened on, or the one given while it is waited for.
QString DisplayProgram::Source() const {
    const QString address = receiver_ ? receiver_->Address() : QString();
    return address.isEmpty() ? options_.listen.text : address;
}

void DisplayProgram::StartPictures() {
    if (options_.logo.isEmpty() && options_.pictures.isEmpty()) return;
    pictures_ = std::make_unique<PictureShelf>(
        options_.logo, options_.pictures,
        [this](std::string logo, std::vector<std::string> pictures) {
            keeper_.SetPictures(std::move(logo), std::move(pictures));
        });
}

// The messages this display takes, or the board of the display it follows.
bool DisplayProgram::StartInput() {
    if (options_.follow) {
        // A viewer of another display's page takes no messages: that display owns the port.
        follower_ = std::make_unique<BoardFollower>(*options_.follow);
        QObject::connect(follower_.get(), &BoardFollower::board, follower_.get(),
                         [this](const Board& next) { keeper_.Replace(next); });
        return true;
    }
    const ListenAddress& listen = options_.listen;
    if (!listen.address.isLoopback() && options_.allowed.empty()) {
        LogLine(QStringLiteral("warning: %1 is not a loopback address: any machine that reaches "
                               "it can send messages to this display; give the register's "
                               "address, --allow 192.168.1.10 (or a network, 192.168.1.0/24), "
                               "to take them from it only")
                    .arg(listen.text)
                    .toStdString());
    }
    receiver_ = std::make_unique<Receiver>(options_.limits, options_.allowed);
    const bool started = ListenOrWait(
        QStringLiteral("--listen"), listen,
        [this](QString* error, bool* missing) {
            return receiver_->Listen(options_.listen.address, options_.listen.port, error, missing);
        },
        [this] { WriteLog(ListeningLine(QDateTime::currentDateTimeUtc(), receiver_->Address())); });
    if (!started) return false;
    QObject::connect(receiver_.get(), &Receiver::received, receiver_.get(),
                     [this](const Reception& reception) { Received(reception); });
    return true;
}

// Every output the options ask for, each a view of the board: one row per kind of output, as
// LCDd keeps its drivers, each making the outputs of its kind that the options ask for.
bool DisplayProgram::MakeOutputs() {
    static constexpr bool (DisplayProgram::*kOutputKinds[])() = {
        &DisplayProgram::MakePage,               // --http
        &DisplayProgram::MakeWindow,             // the window, or --fullscreen (not --headless)
        &DisplayProgram::MakeCharacterDisplays,  // --lcdproc, each
        &DisplayProgram::MakeBrokerLink,         // --mqtt: a way in as well
    };
    for (const auto make : kOutputKinds) {
        if (!(this->*make)()) return false;
    }
    return true;
}

bool DisplayProgram::MakePage() {
    if (!options_.http) return true;
    auto web = std::make_unique<WebServer>(options_.webLimits, options_.httpAllowed);
    for (const QString& name : options_.httpHosts)
        web->AcceptHostName(name);
    WebServer* page = web.get();
    const bool started = ListenOrWait(
        QStringLiteral("--http"), *options_.http,
        [this, page](QString* error, bool* missing) {
            return page->Listen(options_.http->address, options_.http->port, error, missing);
        },
        [this, page] {
            WriteLog(ServingLine(QDateTime::currentDateTimeUtc(), page->Address()));
            AnnounceNetworkPage(*page);
            AnnouncePage(*page);
        });
    if (!started) return false;
    web->ServePictures([this](const std::string& name) -> std::optional<WebServer::ServedPicture> {
        const Picture* picture = pictures_ ? pictures_->Find(name) : nullptr;
        if (picture == nullptr) return std::nullopt;
        return WebServer::ServedPicture{picture->type, picture->bytes};
    });
    web->ReportOutputs([this] {
        std::vector<OutputState> states;
        for (const auto& output : outputs_)
            states.push_back(output->Health());
        return states;
    });
    page_ = page;
    outputs_.push_back(std::move(web));
    return true;
}

bool DisplayProgram::MakeWindow() {
    if (!options_.window) return true;
    auto screen = std::make_unique<BoardWindow>();
    screen->SetPictureSource([this](const std::string& name) {
        const Picture* picture = pictures_ ? pictures_->Find(name) : nullptr;
        return picture != nullptr ? picture->bytes : QByteArray();
    });
    screen->setWindowTitle(
        QStringLiteral("afficheur-display %1")
            .arg(follower_ ? options_.follow->toString() : receiver_->Address()));
    if (follower_) {
        // Until the followed display's board comes, say so rather than show a blank screen.
        BoardWindow* window = screen.get();
        const QString url = options_.follow->toString();
        window->ShowLinkLost(true, url);
        QObject::connect(follower_.get(), &BoardFollower::linked, window,
                         [window, url](bool up) { window->ShowLinkLost(!up, url); });
    }
    InvitePairing(*screen);
    if (options_.fullscreen) {
        const ScreenChoice chosen = ChooseScreen(options_.screen);
        if (!chosen.note.isEmpty()) LogLine(chosen.note.toStdString());
        ShowFullScreen(*screen, chosen);
    } else {
        screen->show();
    }
    outputs_.push_back(std::move(screen));
    return true;
}

void DisplayProgram::InvitePairing(BoardWindow& window) {
    // A page for this machine alone has nothing to show a tablet.
    if (page_ == nullptr || options_.http->address.isLoopback()) return;
    WebServer* page = page_;
    pairing_ = std::make_unique<PairingInvite>(
        [page] { return page->ServesNetwork() ? page->NetworkUrls() : QStringList(); },
        [&window](const QString& url) { window.ShowPairing(url); });
    PairingInvite* invite = pairing_.get();
    QObject::connect(&keeper_, &BoardKeeper::pairAsked, invite, [invite] { invite->Ask(); });
    QObject::connect(page, &WebServer::viewersChanged, invite,
                     [invite](int count) { invite->Viewers(count); });
}

void DisplayProgram::AnnouncePage(const WebServer& page) {
    if (!page.ServesNetwork() || announcement_) return;
    announcement_ =
        std::make_unique<PageAnnouncement>(page, QHostInfo::localHostName().toStdString());
    keeper_.AddView(*announcement_);
}

bool DisplayProgram::MakeCharacterDisplays() {
    for (const LcdOutput& lcd : options_.lcds) {
        std::string error;
        auto link = std::make_unique<LcdprocLink>(
            lcd.endpoint, std::move(*LcdCharset::Open(lcd.charset, &error)));
        link->Start();
        outputs_.push_back(std::move(link));
    }
    return true;
}

// The broker is one more way in: its set messages reach the board as the receiver's do. It is
// an output too, publishing the board as /state gives it.
bool DisplayProgram::MakeBrokerLink() {
    if (options_.mqtt.url.empty()) return true;
    auto link = std::make_unique<BrokerLink>(
        options_.mqtt, [this](std::span<const Message> messages) { keeper_.Apply(messages); });
    link->ReportOutputs([this] {
        std::vector<OutputState> states;
        for (const auto& output : outputs_)
            states.push_back(output->Health());
        return states;
    });
    std::string error;
    if (!link->Start(&error)) {
        LogLine("cannot use the broker " + options_.mqtt.url + ": " + error);
        return false;
    }
    outputs_.push_back(std::move(link));
    return true;
}

bool DisplayProgram::ListenOrWait(const QString& option, const ListenAddress& where,
                                  std::function<bool(QString*, bool*)> listen,
                                  std::function<void()> listening) {
    QString error;
    bool missing = false;
    if (listen(&error, &missing)) {
        listening();
        return true;
    }
    if (!missing) {
        LogLine(QStringLiteral("cannot %1 on %2: %3")
                    .arg(option == QLatin1String("--http") ? QStringLiteral("serve the page")
                                                           : QStringLiteral("listen"),
                         where.text, error)
                    .toStdString());
        return false;
    }
    // At boot the network may come up after the display: its address is waited for.
    LogLine(QStringLiteral("%1 %2: %3; trying again every %4 s until this machine has that "
                           "address")
                .arg(option, where.text, error)
                .arg(kAddressRetryMs / 1000)
                .toStdString());
    auto& retry = retries_.emplace_back(std::make_unique<QTimer>());
    QTimer* timer = retry.get();
    timer->setInterval(kAddressRetryMs);
    QObject::connect(timer, &QTimer::timeout, timer, [=, this] {
        QString again;
        bool stillMissing = false;
        if (listen(&again, &stillMissing)) {
            timer->stop();
            LogLine(
                QStringLiteral("%1 %2: the address is up").arg(option, where.text).toStdString());
            listening();
        } else if (!stillMissing) {
            timer->stop();
            LogLine(QStringLiteral("%1 %2: %3; no more tries")
                        .arg(option, where.text, again)
                        .toStdString());
        }
    });
    timer->start();
    return true;
}

// One message: logged, noted on stderr when it must be (limited by sender), and shown.
void DisplayProgram::Received(const Reception& reception) {
    const auto outcome = Judge(reception, options_.limits.idleTimeoutMs, options_.encoding);
    // A flood of refused connections is counted in the log rather than written a line each.
    // Counted only while there is a log to write it in.
    if (logging_ && (reception.ending != Ending::Refused || loggedRefusals_.Pass(reception)))
        WriteLog(JsonLine(QDateTime::currentDateTimeUtc(), reception, outcome));
    notes_.Write(reception, outcome);
    if (outcome.shown) keeper_.Apply(outcome.message);
}

// Once stdout fails, the log stops for good (one line on stderr says so); the display goes on.
void DisplayProgram::WriteLog(const QByteArray& line) {
    if (!logging_ || WriteOut(line)) return;
    logging_ = false;
    LogLine(std::string("the log on stdout cannot be written (") + std::strerror(errno) +
            "): logging stops, the display goes on");
}

}  // namespace display

// afficheur-display: the customer display to test and demo the client against. Listens on
// loopback, takes the whole content of each connection as one message, shows it (or, with
// --headless, only logs it) and with --log writes one JSON line per message on stdout.
// With --lcdproc it also drives a real pole display or character LCD through LCDd, and with
// --fullscreen it fills a monitor turned to the customer.

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "board/BoardStore.h"
#include "board/Message.h"
#include "common/Log.h"
#include "input/BoardFollower.h"
#include "input/Receiver.h"
#include "input/Report.h"
#include "lcd/LcdprocLink.h"
#include "options/ConfigFile.h"
#include "options/OptionDefault.h"
#include "protocol/Wire.h"
#include "service/QuitOnSignals.h"
#include "service/ServiceNotifier.h"
#include "shared/HostPort.h"
#include "web/WebLimits.h"
#include "web/WebServer.h"
#include "window/FullScreen.h"
#include "window/Screen.h"

namespace {

constexpr const char* kDefaultListen = "127.0.0.1:9100";
constexpr const char* kDefaultHttp = "127.0.0.1:8080";
constexpr int kDefaultIdleTimeoutMs = 5000;
constexpr int kDefaultMessageTimeoutMs = 10000;
constexpr qint64 kDefaultRestoreWithinSeconds = 12 * 3600;
constexpr int kExitUsage = 2;

struct Endpoint {
    QHostAddress address;
    quint16 port = 0;
};

// "127.0.0.1:9100", "[::1]:9100", "localhost:9100"; port 0 lets the system choose.
std::optional<Endpoint> ParseEndpoint(const QString& text) {
    const auto parts = display::SplitHostPort(text);
    if (!parts) return std::nullopt;
    Endpoint endpoint;
    endpoint.port = parts->port;
    if (parts->host == QLatin1String("localhost")) {
        endpoint.address = QHostAddress(QHostAddress::LocalHost);
    } else if (!endpoint.address.setAddress(parts->host)) {
        return std::nullopt;
    }
    return endpoint;
}

// A window needs a display server; the options that never show one do not.
bool WantsWindow(const std::vector<std::string>& arguments) {
    for (const std::string& arg : arguments) {
        if (arg == "--headless" || arg == "-h" || arg == "--help" || arg == "--help-all" ||
            arg == "-v" || arg == "--version") {
            return false;
        }
    }
    return true;
}

// The file that --config names in the command line (the last one given), if any.
std::optional<std::string> ConfigFileArgument(const std::vector<std::string>& arguments) {
    std::optional<std::string> file;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--config" && i + 1 < arguments.size()) {
            file = arguments[++i];
        } else if (arg.rfind("--config=", 0) == 0) {
            file = arg.substr(9);
        }
    }
    return file;
}

// The options the configuration file gives, as arguments; a file that cannot be read or holds
// a fault ends the program with a reason (exit status 2).
std::optional<std::vector<std::string>> ConfigFileOptions(
    const std::string& file, const QList<QCommandLineOption>& options) {
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly)) {
        LogLine("--config: cannot read " + file + ": " + input.errorString().toStdString());
        return std::nullopt;
    }
    display::OptionNames known;
    for (const QCommandLineOption& option : options) {
        for (const QString& name : option.names())
            known[name.toStdString()] = !option.valueName().isEmpty();
    }
    const QByteArray text = input.read(1024 * 1024);
    auto arguments =
        display::ConfigArguments(std::string_view(text.constData(), text.size()), file, known);
    if (const auto* error = std::get_if<display::ConfigError>(&arguments)) {
        LogLine("--config: " + error->why);
        return std::nullopt;
    }
    return std::get<std::vector<std::string>>(std::move(arguments));
}

// Seconds from 0 to a year, or nothing.
std::optional<qint64> Seconds(const QString& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > 366LL * 24 * 3600) return std::nullopt;
    return value;
}

// Writes one log line; false when stdout no longer takes it (a reader that went away).
bool WriteOut(const QByteArray& line) {
    const auto size = static_cast<std::size_t>(line.size());
    const bool written = std::fwrite(line.constData(), 1, size, stdout) == size;
    return std::fflush(stdout) == 0 && written;  // readers follow the log live
}

// A whole number of milliseconds from 1 to an hour, or nothing.
std::optional<int> Milliseconds(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 3600000) return std::nullopt;
    return value;
}

// A whole number from least to most, or nothing.
std::optional<int> WholeNumber(const QString& text, int least, int most) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > most) return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    // A log reader that goes away (`| head -n1`) must not end the display: the failed write
    // is noticed instead, and logging stops.
    std::signal(SIGPIPE, SIG_IGN);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Customer display for the Afficheur client. Each connection is one message: plain "
        "text, or 0xFF then '1' (scrolling text), '2' (colour 0-15) or '3' (register name) "
        "and the text, in Windows-1252."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Listen on ADDR:PORT (default %1; port 0 picks a free port, shown in "
                       "the log's first line).")
            .arg(QLatin1String(kDefaultListen)),
        QStringLiteral("ADDR:PORT"), QLatin1String(kDefaultListen));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Write one JSON line per message on stdout."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run without a window."));
    const QCommandLineOption idle(
        QStringLiteral("idle-timeout"),
        QStringLiteral("Close a connection silent for MS milliseconds (default %1); what it "
                       "sent is logged, not shown.")
            .arg(kDefaultIdleTimeoutMs),
        QStringLiteral("MS"), QString::number(kDefaultIdleTimeoutMs));
    const QCommandLineOption deadline(
        QStringLiteral("message-timeout"),
        QStringLiteral("Close a connection whose message is not whole MS milliseconds after it "
                       "was accepted (default %1), however slowly its bytes keep coming; what "
                       "it sent is logged as cut, not shown.")
            .arg(kDefaultMessageTimeoutMs),
        QStringLiteral("MS"), QString::number(kDefaultMessageTimeoutMs));
    const QCommandLineOption connections(
        QStringLiteral("max-connections"),
        QStringLiteral("Read at most N connections at once; more are closed unread (default "
                       "%1).")
            .arg(display::Limits{}.maxConnections),
        QStringLiteral("N"), QString::number(display::Limits{}.maxConnections));
    const QCommandLineOption allow(
        QStringLiteral("allow"),
        QStringLiteral("Take messages only from the network ADDR/PREFIX, or the address ADDR "
                       "(such as 192.168.1.10, the register); repeatable. Connections from "
                       "elsewhere are closed unread (default: from everywhere)."),
        QStringLiteral("ADDR/PREFIX"));
    const QCommandLineOption shareConnectionsIn(
        QStringLiteral("share-connections"),
        QStringLiteral("The most of those connections one client address holds at once (an "
                       "IPv6 address counts by its /64; default %1). Its next is closed "
                       "unread; a connection from an address that holds fewer, when every "
                       "place is taken, takes the oldest of the address that holds the most.")
            .arg(display::Limits{}.shareConnections),
        QStringLiteral("N"), QString::number(display::Limits{}.shareConnections));
    const QCommandLineOption stall(
        QStringLiteral("stall"),
        QStringLiteral("Behave as a display that hangs: take connections, hold them open "
                       "unread for --idle-timeout, then close them (up to --max-connections; "
                       "logged when taken and when closed)."));
    const QCommandLineOption lcdproc(
        QStringLiteral("lcdproc"),
        QStringLiteral("Also show the board on a character display through LCDd at HOST:PORT "
                       "(default %1 when the option stands alone).")
            .arg(QLatin1String(display::kDefaultLcdproc)),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption lcdCharset(
        QStringLiteral("lcd-charset"),
        QStringLiteral("The character display's one-byte character set, as iconv names it "
                       "(default %1; others: ISO-8859-1, CP437, CP850, ...).")
            .arg(QLatin1String(display::kDefaultLcdCharset)),
        QStringLiteral("NAME"), QLatin1String(display::kDefaultLcdCharset));
    const QCommandLineOption fullscreen(
        QStringLiteral("fullscreen"),
        QStringLiteral("Show the window full-screen, without cursor, on the --screen monitor."));
    const QCommandLineOption screenChoice(
        QStringLiteral("screen"),
        QStringLiteral("The monitor for --fullscreen: N counts from 1 (the primary first), or "
                       "NAME; kept by its name (default: the first monitor that is not the "
                       "primary; with one monitor only, the window waits hidden for a second)."),
        QStringLiteral("N|NAME"));
    const QCommandLineOption http(
        QStringLiteral("http"),
        QStringLiteral("Also serve the display as a live web page at http://ADDR:PORT/; "
                       "ADDR:PORT may be left out: %1, this machine only (0.0.0.0:PORT "
                       "serves the network).")
            .arg(QLatin1String(kDefaultHttp)),
        QStringLiteral("ADDR:PORT"));
    const QCommandLineOption httpHost(
        QStringLiteral("http-host"),
        QStringLiteral("Also serve the web page to requests that name it NAME (such as "
                       "display.shop.lan); repeatable. Loopback and the address a request came "
                       "to are always served; bound to loopback nothing else is, bound to the "
                       "network any name is until one is given. Other names get 421."),
        QStringLiteral("NAME"));
    const QCommandLineOption encodingOption(
        QStringLiteral("encoding"),
        QStringLiteral("How message texts are read: windows-1252 (default, what the client "
                       "sends) or utf-8 (for till software that sends UTF-8; a malformed byte "
                       "shows as the replacement character)."),
        QStringLiteral("NAME"), QStringLiteral("windows-1252"));
    const display::WebLimits webDefaults;
    const QCommandLineOption shareViewers(
        QStringLiteral("http-share-viewers"),
        QStringLiteral("The most of the %1 pages following the web page at once one client "
                       "address holds (an IPv6 address counts by its /64; default %2). Its next "
                       "page gets 503; a page from an address that holds fewer, when every "
                       "place is taken, takes the oldest of the address that holds the most.")
            .arg(webDefaults.maxViewers)
            .arg(webDefaults.shareViewers),
        QStringLiteral("N"), QString::number(webDefaults.shareViewers));
    const QCommandLineOption shareConnections(
        QStringLiteral("http-share-connections"),
        QStringLiteral("The same for the web page's %1 connections, pages included (default "
                       "%2).")
            .arg(webDefaults.maxConnections)
            .arg(webDefaults.shareConnections),
        QStringLiteral("N"), QString::number(webDefaults.shareConnections));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral("Keep the board in FILE across restarts (default: display-PORT.json "
                       "under $STATE_DIRECTORY, or else ${XDG_STATE_HOME:-~/.local/state}/"
                       "afficheur/; none when the port is 0)."),
        QStringLiteral("FILE"));
    const QCommandLineOption restoreWithin(
        QStringLiteral("restore-within"),
        QStringLiteral("At start, show the saved text again only when it is younger than "
                       "SECONDS (default %1, 12 hours); the scrolling text, the register's "
                       "name and the colour always come back.")
            .arg(kDefaultRestoreWithinSeconds),
        QStringLiteral("SECONDS"), QString::number(kDefaultRestoreWithinSeconds));
    const QCommandLineOption welcome(
        QStringLiteral("welcome"),
        QStringLiteral("The text shown at a first start and when the saved text is too old "
                       "(default: none)."),
        QStringLiteral("TEXT"));
    const QCommandLineOption welcomeAfter(
        QStringLiteral("welcome-after"),
        QStringLiteral("Show the welcome text again after SECONDS without a message (default: "
                       "never)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption follow(
        QStringLiteral("follow"),
        QStringLiteral("Take no messages: show the board of the display whose page is at URL "
                       "(its --http, such as http://127.0.0.1:8080/), for a customer's monitor "
                       "beside a display that runs as a service."),
        QStringLiteral("URL"));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("Read options from FILE, one per line by its long name (listen = "
                       "0.0.0.0:9100, welcome = Bienvenue chez nous, headless); the command "
                       "line's own come after them."),
        QStringLiteral("FILE"));
    const QList<QCommandLineOption> options = {listen,
                                               log,
                                               headless,
                                               idle,
                                               deadline,
                                               connections,
                                               allow,
                                               shareConnectionsIn,
                                               stall,
                                               lcdproc,
                                               lcdCharset,
                                               fullscreen,
                                               screenChoice,
                                               http,
                                               httpHost,
                                               shareViewers,
                                               shareConnections,
                                               encodingOption,
                                               state,
                                               restoreWithin,
                                               welcome,
                                               welcomeAfter,
                                               follow,
                                               config};
    parser.addOptions(options);

    // The configuration file's options go first, so that the command line's own win.
    std::vector<std::string> commandLine(argv, argv + argc);
    std::vector<std::string> fromFile;
    if (const auto file = ConfigFileArgument(commandLine)) {
        const auto read = ConfigFileOptions(*file, options);
        if (!read) return kExitUsage;
        fromFile = *read;
    }
    std::vector<std::string> everything = fromFile;
    everything.insert(everything.end(), commandLine.begin() + (argc > 0 ? 1 : 0),
                      commandLine.end());

    const bool window = WantsWindow(everything);
    if (window && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        LogLine(
            "no display server (DISPLAY is not set): start with --headless to run without "
            "a window");
        return EXIT_FAILURE;
    }
    std::unique_ptr<QCoreApplication> app = window ? std::make_unique<QApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("afficheur-display"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AFFICHEUR_VERSION));

    // --help, --version and unknown options end here
    QStringList arguments = QCoreApplication::arguments();
    for (std::size_t i = 0; i < fromFile.size(); ++i)
        arguments.insert(static_cast<qsizetype>(i + 1), QString::fromStdString(fromFile[i]));
    arguments = display::WithOptionDefault(arguments, QStringLiteral("--lcdproc"),
                                           QLatin1String(display::kDefaultLcdproc));
    arguments = display::WithOptionDefault(arguments, QStringLiteral("--http"),
                                           QLatin1String(kDefaultHttp));
    parser.process(arguments);

    const auto endpoint = ParseEndpoint(parser.value(listen));
    if (!endpoint) {
        LogLine("--listen wants ADDR:PORT, such as 127.0.0.1:9100 or [::1]:9100");
        return kExitUsage;
    }
    const auto encoding = protocol::EncodingNamed(parser.value(encodingOption).toStdString());
    if (!encoding) {
        LogLine("--encoding wants windows-1252 or utf-8");
        return kExitUsage;
    }
    const auto idleTimeoutMs = Milliseconds(parser.value(idle));
    if (!idleTimeoutMs) {
        LogLine("--idle-timeout wants a whole number of milliseconds from 1 to 3600000");
        return kExitUsage;
    }
    const auto messageTimeoutMs = Milliseconds(parser.value(deadline));
    if (!messageTimeoutMs) {
        LogLine("--message-timeout wants a whole number of milliseconds from 1 to 3600000");
        return kExitUsage;
    }

    bool ok = false;
    const int maxConnections = parser.value(connections).toInt(&ok);
    if (!ok || maxConnections < 1 || maxConnections > 10000) {
        LogLine("--max-connections wants a whole number from 1 to 10000");
        return kExitUsage;
    }
    const auto connectionShare = WholeNumber(parser.value(shareConnectionsIn), 1, 10000);
    if (!connectionShare) {
        LogLine("--share-connections wants a whole number from 1 to 10000");
        return kExitUsage;
    }
    display::AllowList allowed;
    for (const QString& network : parser.values(allow)) {
        const QString fault = allowed.Add(network);
        if (!fault.isEmpty()) {
            LogLine(("--allow " + network + ": " + fault).toStdString());
            return kExitUsage;
        }
    }

    const auto restoreWithinSeconds = Seconds(parser.value(restoreWithin));
    if (!restoreWithinSeconds) {
        LogLine("--restore-within wants a whole number of seconds from 0 to a year");
        return kExitUsage;
    }
    std::optional<qint64> welcomeAfterSeconds;
    if (parser.isSet(welcomeAfter)) {
        welcomeAfterSeconds = Seconds(parser.value(welcomeAfter));
        if (!welcomeAfterSeconds || *welcomeAfterSeconds == 0) {
            LogLine("--welcome-after wants a whole number of seconds from 1 to a year");
            return kExitUsage;
        }
    }
    const std::string welcomeText = parser.value(welcome).toStdString();

    std::optional<display::LcdprocEndpoint> lcdEndpoint;
    if (parser.isSet(lcdproc)) {
        lcdEndpoint = display::ParseLcdprocEndpoint(parser.value(lcdproc));
        if (!lcdEndpoint) {
            LogLine("--lcdproc wants HOST:PORT, such as 127.0.0.1:13666 or [::1]:13666");
            return kExitUsage;
        }
    }
    std::string charsetError;
    auto charset = display::LcdCharset::Open(parser.value(lcdCharset).toStdString(), &charsetError);
    if (!charset) {
        LogLine("--lcd-charset: " + charsetError);
        return kExitUsage;
    }

    display::Limits limits;
    limits.idleTimeoutMs = *idleTimeoutMs;
    limits.messageTimeoutMs = *messageTimeoutMs;
    limits.maxConnections = maxConnections;
    limits.shareConnections = *connectionShare;
    limits.stall = parser.isSet(stall);
    if (!endpoint->address.isLoopback() && allowed.empty()) {
        LogLine(QStringLiteral("warning: %1 is not a loopback address: any machine that reaches "
                               "it can send messages to this display; give the register's "
                               "address, --allow 192.168.1.10 (or a network, 192.168.1.0/24), "
                               "to take them from it only")
                    .arg(parser.value(listen))
                    .toStdString());
    }
    // A viewer of another display's page takes no messages itself: that display owns the port.
    const bool following = parser.isSet(follow);
    const QUrl followed(parser.value(follow));
    if (following && (followed.scheme() != QLatin1String("http") || followed.host().isEmpty())) {
        LogLine("--follow wants the page of a display, such as http://127.0.0.1:8080/");
        return kExitUsage;
    }
    std::unique_ptr<display::Receiver> receiver;
    QString error;
    if (!following) {
        receiver = std::make_unique<display::Receiver>(limits, std::move(allowed));
        if (!receiver->Listen(endpoint->address, endpoint->port, &error)) {
            LogLine(QStringLiteral("cannot listen on %1: %2")
                        .arg(parser.value(listen), error)
                        .toStdString());
            return EXIT_FAILURE;
        }
    }
    const QString source = following ? followed.toString() : receiver->Address();
    bool logging = parser.isSet(log);
    // Once stdout fails, the log stops for good (one line on stderr says so); the display goes on.
    const auto writeLog = [&logging](const QByteArray& line) {
        if (!logging || WriteOut(line)) return;
        logging = false;
        LogLine(std::string("the log on stdout cannot be written (") + std::strerror(errno) +
                "): logging stops, the display goes on");
    };
    if (receiver) writeLog(display::ListeningLine(QDateTime::currentDateTimeUtc(), source));

    std::unique_ptr<display::WebServer> web;
    for (const QCommandLineOption* option : {&httpHost, &shareViewers, &shareConnections}) {
        if (parser.isSet(*option) && !parser.isSet(http)) {
            LogLine("--" + option->names().constFirst().toStdString() +
                    " is about the web page: it goes with --http");
            return kExitUsage;
        }
    }
    if (parser.isSet(http)) {
        const auto where = ParseEndpoint(parser.value(http));
        if (!where) {
            LogLine("--http wants ADDR:PORT, such as 127.0.0.1:8080 or 0.0.0.0:8080");
            return kExitUsage;
        }
        display::WebLimits webLimits;
        const auto viewerShare = WholeNumber(parser.value(shareViewers), 1, webLimits.maxViewers);
        if (!viewerShare) {
            LogLine("--http-share-viewers wants a whole number from 1 to " +
                    std::to_string(webLimits.maxViewers));
            return kExitUsage;
        }
        const auto connectionShare =
            WholeNumber(parser.value(shareConnections), 1, webLimits.maxConnections);
        if (!connectionShare) {
            LogLine("--http-share-connections wants a whole number from 1 to " +
                    std::to_string(webLimits.maxConnections));
            return kExitUsage;
        }
        webLimits.shareViewers = *viewerShare;
        webLimits.shareConnections = *connectionShare;
        web = std::make_unique<display::WebServer>(webLimits);
        for (const QString& name : parser.values(httpHost)) {
            if (!web->AcceptHostName(name)) {
                LogLine(
                    "--http-host wants a host name or address, such as display.shop.lan "
                    "or 192.168.1.20");
                return kExitUsage;
            }
        }
        if (!web->Listen(where->address, where->port, &error)) {
            LogLine(QStringLiteral("cannot serve the page on %1: %2")
                        .arg(parser.value(http), error)
                        .toStdString());
            return EXIT_FAILURE;
        }
        writeLog(display::ServingLine(QDateTime::currentDateTimeUtc(), web->Address()));
        display::AnnounceNetworkPage(*web);
    }

    // The board comes back from the state file, if this display keeps one.
    const QString statePath = parser.isSet(state) ? parser.value(state)
                              : following         ? QString()
                                                  : display::DefaultStatePath(endpoint->port);
    std::unique_ptr<display::BoardStore> store;
    std::optional<display::SavedBoard> saved;
    if (!statePath.isEmpty()) {
        store = std::make_unique<display::BoardStore>(statePath);
        saved = store->Load();
    }
    const auto nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    display::Board board = display::RestoredBoard(saved ? &*saved : nullptr, nowMs(),
                                                  *restoreWithinSeconds * 1000, welcomeText);
    std::int64_t textSetAtMs =
        saved && board.text == saved->board.text ? saved->textSetAtMs : nowMs();
    std::unique_ptr<display::Screen> screen;
    if (window) {
        screen = std::make_unique<display::Screen>();
        screen->setWindowTitle(QStringLiteral("afficheur-display %1").arg(source));
        if (parser.isSet(fullscreen)) {
            const display::ScreenChoice chosen = display::ChooseScreen(parser.value(screenChoice));
            if (!chosen.note.isEmpty()) LogLine(chosen.note.toStdString());
            display::ShowFullScreen(*screen, chosen);
        } else {
            screen->show();
        }
    }
    std::unique_ptr<display::LcdprocLink> lcd;
    if (lcdEndpoint) {
        lcd = std::make_unique<display::LcdprocLink>(*lcdEndpoint, std::move(*charset));
        lcd->Start();
    }

    const auto showEverywhere = [&] {
        if (screen) screen->Show(board);
        if (lcd) lcd->Show(board);
        if (web) web->Show(board);
    };
    showEverywhere();
    // Back to the welcome text after a while without a message, so a sale does not linger.
    QTimer welcomeTimer;
    welcomeTimer.setSingleShot(true);
    if (welcomeAfterSeconds) {
        welcomeTimer.setInterval(std::chrono::seconds(*welcomeAfterSeconds));
        QObject::connect(&welcomeTimer, &QTimer::timeout, [&] {
            if (board.text == welcomeText) return;
            board.text = welcomeText;
            textSetAtMs = nowMs();
            if (store) store->Keep({board, textSetAtMs});
            showEverywhere();
        });
        welcomeTimer.start();
    }

    // The board follows another display's page...
    std::unique_ptr<display::BoardFollower> follower;
    if (following) {
        follower = std::make_unique<display::BoardFollower>(followed);
        QObject::connect(follower.get(), &display::BoardFollower::board,
                         [&](const display::Board& next) {
                             board = next;
                             showEverywhere();
                         });
        follower->Start();
    }
    // ...or the messages this display takes; their notes on stderr limited by sender.
    display::NoteLines notes;
    if (receiver)
        QObject::connect(receiver.get(), &display::Receiver::received, receiver.get(),
                         [&](const display::Reception& reception) {
                             const auto outcome =
                                 display::Judge(reception, *idleTimeoutMs, *encoding);
                             if (logging) {
                                 writeLog(display::JsonLine(QDateTime::currentDateTimeUtc(),
                                                            reception, outcome));
                             }
                             notes.Write(reception, outcome);
                             if (!outcome.shown) return;
                             board.Apply(outcome.message);
                             if (outcome.message.kind == display::Kind::Text) textSetAtMs = nowMs();
                             if (store) store->Keep({board, textSetAtMs});
                             if (welcomeAfterSeconds) welcomeTimer.start();
                             showEverywhere();
                         });
    // SIGTERM and SIGINT end the loop, so the last board is saved on the way out.
    const display::QuitOnSignals quitOnSignals;
    const display::ServiceNotifier serviceManager(
        following ? QStringLiteral("following %1").arg(source)
                  : QStringLiteral("taking messages on %1").arg(source));
    const int status = app->exec();
    if (store) store->Flush();
    return status;
}

#include "DisplayOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "board/BoardStore.h"
#include "options/ConfigFile.h"
#include "options/OptionDefault.h"
#include "shared/HostPort.h"
#include "shared/WholeNumber.h"
#include "web/WebServer.h"

namespace display {

namespace {

constexpr const char* kDefaultListen = "127.0.0.1:9100";
constexpr const char* kDefaultHttp = "127.0.0.1:8080";

// The options whose value may be left out, and the value they then take: on the command line
// and in the configuration file alike.
struct LeftOut {
    const char* name;
    const char* value;
};
constexpr LeftOut kLeftOutDefaults[] = {{"lcdproc", kDefaultLcdproc}, {"http", kDefaultHttp}};

// The options that may be given several times, each counting.
constexpr const char* kRepeatable[] = {"allow", "lcdproc", "http-host", "http-allow"};

bool Repeatable(const QString& name) {
    return std::any_of(
        std::begin(kRepeatable), std::end(kRepeatable),
        [&name](const char* repeatable) { return name == QLatin1String(repeatable); });
}

// The most a configuration file holds: a few hundred lines of options.
constexpr qint64 kMaxConfigBytes = 1024 * 1024;

bool MayBeLeftOut(const QString& name) {
    return std::any_of(
        std::begin(kLeftOutDefaults), std::end(kLeftOutDefaults),
        [&name](const LeftOut& option) { return name == QLatin1String(option.name); });
}
constexpr int kDefaultIdleTimeoutMs = 5000;
constexpr int kDefaultMessageTimeoutMs = 10000;
constexpr qint64 kDefaultRestoreWithinSeconds = 12 * 3600;
constexpr int kExitUsage = 2;

OptionsExit Usage(std::string why) {
    return {kExitUsage, std::move(why), false};
}

// "127.0.0.1:9100", "[::1]:9100", "localhost:9100"; port 0 lets the system choose.
std::optional<ListenAddress> ParseEndpoint(const QString& text) {
    const auto parts = SplitHostPort(text);
    if (!parts) return std::nullopt;
    ListenAddress endpoint;
    endpoint.text = text;
    endpoint.port = parts->port;
    if (parts->host == QLatin1String("localhost")) {
        endpoint.address = QHostAddress(QHostAddress::LocalHost);
    } else if (!endpoint.address.setAddress(parts->host)) {
        return std::nullopt;
    }
    return endpoint;
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

// The options the configuration file gives, as arguments; or what is wrong with the file.
std::variant<std::vector<std::string>, std::string> ConfigFileOptions(
    const std::string& file, const QList<QCommandLineOption>& options) {
    QFile input(QString::fromStdString(file));
    if (!input.open(QIODevice::ReadOnly)) {
        return "--config: cannot read " + file + ": " + input.errorString().toStdString();
    }
    // What lies past a bound must not be dropped unseen: an allow line there would open the
    // display to everyone.
    const QByteArray text = input.read(kMaxConfigBytes + 1);
    if (text.size() > kMaxConfigBytes) {
        const qint64 size = input.isSequential() ? text.size() : input.size();
        return "--config: " + file + " is " + std::to_string(size) +
               " bytes long; a configuration file holds at most " +
               std::to_string(kMaxConfigBytes) + " bytes";
    }
    OptionNames known;
    for (const QCommandLineOption& option : options) {
        for (const QString& name : option.names()) {
            known.insert_or_assign(
                name.toStdString(),
                OptionValue(!option.valueName().isEmpty(), MayBeLeftOut(name), Repeatable(name)));
        }
    }
    auto arguments = ConfigArguments(std::string_view(text.constData(), text.size()), file, known);
    if (const auto* error = std::get_if<ConfigError>(&arguments)) return "--config: " + error->why;
    return std::get<std::vector<std::string>>(std::move(arguments));
}

// Seconds from 0 to a year, or nothing.
std::optional<qint64> Seconds(const QString& text) {
    return display::WholeNumber(text, 0, 366LL * 24 * 3600);
}

// A whole number of milliseconds from 1 to an hour, or nothing.
std::optional<int> Milliseconds(const QString& text) {
    const auto value = display::WholeNumber(text, 1, 3600000);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

// A whole number from least to most, or nothing.
std::optional<int> WholeNumber(const QString& text, int least, int most) {
    const auto value = display::WholeNumber(text, least, most);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

QList<QCommandLineOption> MakeOptions() {
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
            .arg(Limits{}.maxConnections),
        QStringLiteral("N"), QString::number(Limits{}.maxConnections));
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
            .arg(Limits{}.shareConnections),
        QStringLiteral("N"), QString::number(Limits{}.shareConnections));
    const QCommandLineOption stall(
        QStringLiteral("stall"),
        QStringLiteral("Behave as a display that hangs: take connections, hold them open "
                       "unread for --idle-timeout, then close them (up to --max-connections; "
                       "logged when taken and when closed)."));
    const QCommandLineOption lcdproc(
        QStringLiteral("lcdproc"),
        QStringLiteral("Also show the board on a character display through LCDd at HOST:PORT "
                       "(default %1 when the option stands alone); repeatable, one pole "
                       "display per LCDd. HOST:PORT,NAME gives that display its own "
                       "character set.")
            .arg(QLatin1String(kDefaultLcdproc)),
        QStringLiteral("HOST:PORT[,NAME]"));
    const QCommandLineOption lcdCharset(
        QStringLiteral("lcd-charset"),
        QStringLiteral("The character displays' one-byte character set, as iconv names it "
                       "(default %1; others: ISO-8859-1, CP437, CP850, ...), for each --lcdproc "
                       "that names none.")
            .arg(QLatin1String(kDefaultLcdCharset)),
        QStringLiteral("NAME"), QLatin1String(kDefaultLcdCharset));
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
    const QCommandLineOption httpAllow(
        QStringLiteral("http-allow"),
        QStringLiteral("Let only the network ADDR/PREFIX, or the address ADDR (a tablet), follow "
                       "the web page; repeatable. A page from elsewhere loads but gets 403 for "
                       "its live stream, so the places of the streams go to the allowed "
                       "addresses alone (default: everyone may follow)."),
        QStringLiteral("ADDR/PREFIX"));
    const QCommandLineOption encodingOption(
        QStringLiteral("encoding"),
        QStringLiteral("How message texts are read: windows-1252 (default, what the client "
                       "sends) or utf-8 (for till software that sends UTF-8; a malformed byte "
                       "shows as the replacement character)."),
        QStringLiteral("NAME"), QStringLiteral("windows-1252"));
    const WebLimits webDefaults;
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
    return {listen,        log,          headless,           idle,           deadline,
            connections,   allow,        shareConnectionsIn, stall,          lcdproc,
            lcdCharset,    fullscreen,   screenChoice,       http,           httpHost,
            httpAllow,     shareViewers, shareConnections,   encodingOption, state,
            restoreWithin, welcome,      welcomeAfter,       follow,         config};
}

QString Value(const QCommandLineParser& parser, const char* name) {
    return parser.value(QLatin1String(name));
}

bool IsSet(const QCommandLineParser& parser, const char* name) {
    return parser.isSet(QLatin1String(name));
}

// The options that make the program take messages and listen.
std::optional<OptionsExit> ReadInput(const QCommandLineParser& parser, DisplayOptions& options) {
    const auto listen = ParseEndpoint(Value(parser, "listen"));
    if (!listen) return Usage("--listen wants ADDR:PORT, such as 127.0.0.1:9100 or [::1]:9100");
    options.listen = *listen;
    const auto encoding = protocol::EncodingNamed(Value(parser, "encoding").toStdString());
    if (!encoding) return Usage("--encoding wants windows-1252 or utf-8");
    options.encoding = *encoding;
    const auto idleTimeoutMs = Milliseconds(Value(parser, "idle-timeout"));
    if (!idleTimeoutMs) {
        return Usage("--idle-timeout wants a whole number of milliseconds from 1 to 3600000");
    }
    const auto messageTimeoutMs = Milliseconds(Value(parser, "message-timeout"));
    if (!messageTimeoutMs) {
        return Usage("--message-timeout wants a whole number of milliseconds from 1 to 3600000");
    }
    const auto maxConnections = WholeNumber(Value(parser, "max-connections"), 1, 10000);
    if (!maxConnections) return Usage("--max-connections wants a whole number from 1 to 10000");
    const auto connectionShare = WholeNumber(Value(parser, "share-connections"), 1, 10000);
    if (!connectionShare) return Usage("--share-connections wants a whole number from 1 to 10000");
    for (const QString& network : parser.values(QStringLiteral("allow"))) {
        const QString fault = options.allowed.Add(network);
        if (!fault.isEmpty()) return Usage(("--allow " + network + ": " + fault).toStdString());
    }
    options.limits.idleTimeoutMs = *idleTimeoutMs;
    options.limits.messageTimeoutMs = *messageTimeoutMs;
    options.limits.maxConnections = *maxConnections;
    options.limits.shareConnections = *connectionShare;
    options.limits.stall = IsSet(parser, "stall");
    if (IsSet(parser, "follow")) {
        const QUrl followed(Value(parser, "follow"));
        if (followed.scheme() != QLatin1String("http") || followed.host().isEmpty())
            return Usage("--follow wants the page of a display, such as http://127.0.0.1:8080/");
        options.follow = followed;
    }
    return std::nullopt;
}

// The board's keeping: the state file, the restore rule and the welcome text.
std::optional<OptionsExit> ReadKeeping(const QCommandLineParser& parser, DisplayOptions& options) {
    const auto restoreWithin = Seconds(Value(parser, "restore-within"));
    if (!restoreWithin) {
        return Usage("--restore-within wants a whole number of seconds from 0 to a year");
    }
    Keeping& keeping = options.keeping;
    keeping.restoreWithinMs = *restoreWithin * 1000;
    if (IsSet(parser, "welcome-after")) {
        const auto after = Seconds(Value(parser, "welcome-after"));
        if (!after || *after == 0) {
            return Usage("--welcome-after wants a whole number of seconds from 1 to a year");
        }
        keeping.welcomeAfterMs = *after * 1000;
    }
    keeping.welcome = Value(parser, "welcome").toStdString();
    keeping.statePath = IsSet(parser, "state") ? Value(parser, "state")
                        : options.follow       ? QString()
                                               : DefaultStatePath(options.listen.port);
    return std::nullopt;
}

// The outputs: the window, the LCDd links, the web page.
std::optional<OptionsExit> ReadOutputs(const QCommandLineParser& parser, DisplayOptions& options) {
    options.window = !IsSet(parser, "headless");
    options.fullscreen = IsSet(parser, "fullscreen");
    options.screen = Value(parser, "screen");
    const std::string charset = Value(parser, "lcd-charset").toStdString();
    std::string charsetError;
    if (!LcdCharset::Open(charset, &charsetError)) return Usage("--lcd-charset: " + charsetError);
    for (const QString& value : parser.values(QStringLiteral("lcdproc"))) {
        const qsizetype comma = value.indexOf(QLatin1Char(','));
        const auto endpoint = ParseLcdprocEndpoint(value.left(comma));
        if (!endpoint) {
            return Usage(
                "--lcdproc wants HOST:PORT, such as 127.0.0.1:13666 or [::1]:13666, and may "
                "add ,CHARSET (127.0.0.1:13666,CP850)");
        }
        LcdOutput lcd{*endpoint, charset};
        if (comma >= 0) {
            lcd.charset = value.mid(comma + 1).toStdString();
            if (!LcdCharset::Open(lcd.charset, &charsetError))
                return Usage("--lcdproc " + value.toStdString() + ": " + charsetError);
        }
        options.lcds.push_back(std::move(lcd));
    }

    for (const char* name :
         {"http-host", "http-allow", "http-share-viewers", "http-share-connections"}) {
        if (IsSet(parser, name) && !IsSet(parser, "http"))
            return Usage(std::string("--") + name + " is about the web page: it goes with --http");
    }
    if (!IsSet(parser, "http")) return std::nullopt;
    options.http = ParseEndpoint(Value(parser, "http"));
    if (!options.http) {
        return Usage("--http wants ADDR:PORT, such as 127.0.0.1:8080 or 0.0.0.0:8080");
    }
    WebLimits& web = options.webLimits;
    const auto viewerShare = WholeNumber(Value(parser, "http-share-viewers"), 1, web.maxViewers);
    if (!viewerShare) {
        return Usage("--http-share-viewers wants a whole number from 1 to " +
                     std::to_string(web.maxViewers));
    }
    const auto connectionShare =
        WholeNumber(Value(parser, "http-share-connections"), 1, web.maxConnections);
    if (!connectionShare) {
        return Usage("--http-share-connections wants a whole number from 1 to " +
                     std::to_string(web.maxConnections));
    }
    web.shareViewers = *viewerShare;
    web.shareConnections = *connectionShare;
    for (const QString& network : parser.values(QStringLiteral("http-allow"))) {
        const QString fault = options.httpAllowed.Add(network);
        if (!fault.isEmpty())
            return Usage(("--http-allow " + network + ": " + fault).toStdString());
    }
    options.httpHosts = parser.values(QStringLiteral("http-host"));
    for (const QString& name : options.httpHosts) {
        if (HostName(name).isEmpty()) {
            return Usage(
                "--http-host wants a host name or address, such as display.shop.lan or "
                "192.168.1.20");
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<DisplayOptions, OptionsExit> ParseOptions(const std::vector<std::string>& arguments) {
    const QList<QCommandLineOption> all = MakeOptions();
    // The configuration file's options go first, so that the command line's own win.
    std::vector<std::string> everything(arguments.begin(),
                                        arguments.begin() + (arguments.empty() ? 0 : 1));
    if (const auto file = ConfigFileArgument(arguments)) {
        auto read = ConfigFileOptions(*file, all);
        if (const auto* why = std::get_if<std::string>(&read)) return Usage(*why);
        const auto& fromFile = std::get<std::vector<std::string>>(read);
        everything.insert(everything.end(), fromFile.begin(), fromFile.end());
    }
    if (!arguments.empty())
        everything.insert(everything.end(), arguments.begin() + 1, arguments.end());

    QStringList texts;
    for (const std::string& argument : everything)
        texts << QString::fromStdString(argument);
    if (texts.isEmpty()) texts << QStringLiteral("afficheur-display");
    for (const LeftOut& option : kLeftOutDefaults) {
        texts = WithOptionDefault(texts, QStringLiteral("--") + QLatin1String(option.name),
                                  QLatin1String(option.value));
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Customer display for the Afficheur client. Each connection is one message: plain "
        "text, or 0xFF then '1' (scrolling text), '2' (colour 0-15) or '3' (register name) "
        "and the text, in Windows-1252."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions(all);
    if (!parser.parse(texts)) return OptionsExit{1, parser.errorText().toStdString(), false};
    if (parser.isSet(help) || IsSet(parser, "help-all")) {
        // Without a running application Qt cannot name the program: the usage line does.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QFileInfo(texts.first()).fileName());
        return OptionsExit{0, text.toStdString(), true};
    }
    if (parser.isSet(version))
        return OptionsExit{0, std::string("afficheur-display ") + AFFICHEUR_VERSION + "\n", true};

    DisplayOptions options;
    options.log = IsSet(parser, "log");
    for (const auto read : {ReadInput, ReadKeeping, ReadOutputs}) {
        if (auto exit = read(parser, options)) return *exit;
    }
    return options;
}

bool LacksDisplayServer(const DisplayOptions& options) {
    return options.window && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace display

#include "DisplayOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "board/BoardStore.h"
#include "mqtt/BrokerOptions.h"
#include "options/ConfigFile.h"
#include "options/OptionDefault.h"
#include "shared/HostPort.h"
#include "shared/WholeNumber.h"
#include "web/WebServer.h"

namespace display {

namespace {

constexpr int kExitUsage = 2;
// The most a configuration file holds: a few hundred lines of options.
constexpr qint64 kMaxConfigBytes = 1024 * 1024;
constexpr qint64 kYearSeconds = 366LL * 24 * 3600;
constexpr qint64 kHourMs = 3600000;

OptionsExit Usage(std::string why) {
    return {kExitUsage, std::move(why), false};
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

// A whole number from least to most into *into; otherwise the reason, naming the option.
template <typename Number>
std::string ReadNumber(std::string_view value, qint64 least, qint64 most, Number* into,
                       const std::string& why) {
    const auto number = WholeNumber(Q(value), least, most);
    if (!number) return why;
    *into = static_cast<Number>(*number);
    return {};
}

std::string Shown(qint64 number) {
    return std::to_string(number);
}

using Row = OptionSpec<DisplayOptions>;

// The rows, in the order --help and the man page list them; a value is read in this order
// too (--lcd-charset before the --lcdproc that take it).
const Row kRows[] = {
    {"listen", "ADDR:PORT",
     "Listen on ADDR:PORT (default {default}; port 0 picks a free port, shown in the log's first "
     "line).",
     R"man(Where to listen (default {default}; also [::1]:9100 or localhost:9100).
Port 0 lets the system pick a free port, named in the log's first line.
An address that is not loopback gets one warning line on standard error at start: any
machine that reaches the port can then put text on the display.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         const auto listen = ParseEndpoint(Q(value));
         if (!listen) return "--listen wants ADDR:PORT, such as 127.0.0.1:9100 or [::1]:9100";
         o.listen = *listen;
         return {};
     },
     [](const DisplayOptions& d) { return d.listen.text.toStdString(); }},
    {"log", "", "Write one JSON line per message on stdout.",
     R"man(Write one JSON line per message on standard output, flushed at once: the sender, the
message's kind, text and bytes in hex, how the connection ended and whether the display
changed.
Control characters are escaped, here and on standard error.
Refused connections are counted by sender address: the first of a burst has its line, and
one line of kind
.B refusals
then gives the count of the next 10 seconds.
When standard output stops taking lines (its reader has gone), logging stops with one line
on standard error and the display goes on.)man",
     [](std::string_view, DisplayOptions& o) -> std::string {
         o.log = true;
         return {};
     }},
    {"headless", "", "Run without a window.",
     R"man(Run without a window and without a display server.)man",
     [](std::string_view, DisplayOptions& o) -> std::string {
         o.window = false;
         return {};
     }},
    {"idle-timeout", "MS",
     "Close a connection silent for MS milliseconds (default {default}); what it sent is "
     "logged, not shown.",
     R"man(Close a connection that sends nothing for
.I MS
milliseconds (default {default}); what it sent is logged, not shown.)man",
     [](std::string_view value, DisplayOptions& o) {
         return ReadNumber(value, 1, kHourMs, &o.limits.idleTimeoutMs,
                           "--idle-timeout wants a whole number of milliseconds from 1 to 3600000");
     },
     [](const DisplayOptions& d) { return Shown(d.limits.idleTimeoutMs); }},
    {"message-timeout", "MS",
     "Close a connection whose message is not whole MS milliseconds after it was accepted "
     "(default {default}), however slowly its bytes keep coming; what it sent is logged as cut, "
     "not shown.",
     R"man(Close a connection whose message is not whole
.I MS
milliseconds after it was accepted (default {default}), however slowly its bytes keep coming;
what it sent is logged as cut, not shown.)man",
     [](std::string_view value, DisplayOptions& o) {
         return ReadNumber(
             value, 1, kHourMs, &o.limits.messageTimeoutMs,
             "--message-timeout wants a whole number of milliseconds from 1 to 3600000");
     },
     [](const DisplayOptions& d) { return Shown(d.limits.messageTimeoutMs); }},
    {"max-connections", "N",
     "Read at most N connections at once; more are closed unread (default {default}).",
     R"man(Read at most
.I N
connections at once; more are closed unread (default {default}). When all are taken, a newcomer
takes, the newest first, a connection that has not brought its whole message 3 seconds after
it connected from an address that never sent a whole one; else, unless its own address's
last connection ended unfinished, any connection of an address whose last one did; else any
connection past the 3 seconds. So a crowd of addresses holding connections open keeps the
register out no longer.)man",
     [](std::string_view value, DisplayOptions& o) {
         return ReadNumber(value, 1, 10000, &o.limits.maxConnections,
                           "--max-connections wants a whole number from 1 to 10000");
     },
     [](const DisplayOptions& d) { return Shown(d.limits.maxConnections); }},
    {"allow", "ADDR/PREFIX",
     "Take messages only from the network ADDR/PREFIX, or the address ADDR (such as "
     "192.168.1.10, the register); repeatable. Connections from elsewhere are closed unread "
     "(default: from everywhere).",
     R"man(Take messages only from the network
.I ADDR/PREFIX
(192.168.1.0/24), or the one address
.I ADDR
(192.168.1.10, the register); repeatable. Connections from elsewhere are closed unread, with
one line on stderr for the first of a burst and then a count. An IPv4 address is written as
four numbers without leading zeros. Without it, messages come from every address that
reaches the port; see
.BR \-\-listen .)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         const QString fault = o.allowed.Add(Q(value));
         if (fault.isEmpty()) return {};
         return "--allow " + std::string(value) + ": " + fault.toStdString();
     },
     nullptr, true},
    {"share-connections", "N",
     "The most of those connections one client address holds at once (an IPv6 address counts "
     "by its /64; default {default}). Its next is closed unread; a connection from an address "
     "that holds fewer, when every place is taken, takes the oldest of the address that holds "
     "the most.",
     R"man(The most of those connections one client address holds at once, an IPv6 address counting by
its /64 (default {default}): its next is closed unread, and a connection from an address that holds
fewer, when every place is taken, takes the place of the oldest connection of the address
that holds the most. So one machine that floods the display, or holds its connections open,
never keeps the register out.)man",
     [](std::string_view value, DisplayOptions& o) {
         return ReadNumber(value, 1, 10000, &o.limits.shareConnections,
                           "--share-connections wants a whole number from 1 to 10000");
     },
     [](const DisplayOptions& d) { return Shown(d.limits.shareConnections); }},
    {"stall", "",
     "Behave as a display that hangs: take connections, hold them open unread for "
     "--idle-timeout, then close them (up to --max-connections; logged when taken and when "
     "closed).",
     R"man(Behave as a hung display: take connections, hold them open and never read them.)man",
     [](std::string_view, DisplayOptions& o) -> std::string {
         o.limits.stall = true;
         return {};
     }},
    {"lcd-charset", "NAME",
     "The character displays' one-byte character set, as iconv names it (default {default}; "
     "others: ISO-8859-1, CP437, CP850, ...), for each --lcdproc that names none.",
     R"man(The character display's character set, as
.BR iconv (1)
names it (default {default}). It must be one byte per character with ASCII in its lower half,
since LCDd counts bytes: ASCII, ISO-8859-1, ISO-8859-15, CP437, CP850, CP858, CP1252, ...
Anything else is refused at start (exit status 2), even without
.BR \-\-lcdproc ,
as any bad option value is.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         std::string error;
         if (!LcdCharset::Open(std::string(value), &error)) return "--lcd-charset: " + error;
         o.lcdCharset = value;
         return {};
     },
     [](const DisplayOptions& d) { return d.lcdCharset; }},
    {"lcdproc", "HOST:PORT[,NAME]",
     "Also show the board on a character display through LCDd at HOST:PORT (default {default} "
     "when the option stands alone); repeatable, one pole display per LCDd. HOST:PORT,NAME "
     "gives that display its own character set.",
     R"man(Also show the board through LCDd at
.I HOST:PORT
(a name, an address, or [an IPv6 address]; default {default} when the option stands
alone); may be given more than once, one display per LCDd.
.IR HOST:PORT , NAME
gives that display its own character set (see
.BR \-\-lcd\-charset ).
Works with the window and with
.BR \-\-headless .
See
.B CHARACTER DISPLAYS
below.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         const QString text = Q(value);
         const qsizetype comma = text.indexOf(QLatin1Char(','));
         const auto endpoint = ParseLcdprocEndpoint(text.left(comma));
         if (!endpoint) {
             return "--lcdproc wants HOST:PORT, such as 127.0.0.1:13666 or [::1]:13666, and may "
                    "add ,CHARSET (127.0.0.1:13666,CP850)";
         }
         LcdOutput lcd{*endpoint, o.lcdCharset};
         if (comma >= 0) {
             lcd.charset = text.mid(comma + 1).toStdString();
             std::string error;
             if (!LcdCharset::Open(lcd.charset, &error))
                 return "--lcdproc " + std::string(value) + ": " + error;
         }
         o.lcds.push_back(std::move(lcd));
         return {};
     },
     nullptr, true, kDefaultLcdproc},
    {"fullscreen", "",
     "Show the window full-screen, without cursor, on the --screen monitor; it never takes the "
     "keyboard.",
     R"man(Show the window full-screen, without a mouse cursor, on the monitor that
.B \-\-screen
names: for a second monitor turned to the customer. The monitor is chosen at start and kept
by its name: when it changes resolution the window follows it and covers it again; when it is
unplugged the window hides, and comes back when that monitor returns. It never moves onto the
primary, the cashier's, by itself. Neither this window nor the plain one ever takes the
keyboard from the till: they are not activated when they appear, move or come back, and take
no focus from a click.)man",
     [](std::string_view, DisplayOptions& o) -> std::string {
         o.fullscreen = true;
         return {};
     }},
    {"screen", "N|NAME",
     "The monitor for --fullscreen: N counts from 1 (the primary first), or NAME; kept by its "
     "name (default: the first monitor that is not the primary; with one monitor only, the "
     "window waits hidden for a second).",
     R"man(The monitor for
.BR \-\-fullscreen :
a number counts from 1 in the order the system lists the monitors (1 is the primary), or the
monitor's output name as
.B xrandr \-\-listmonitors
shows it (HDMI\-1, DP\-2, ...). Default: the first monitor that is not the primary; with one
monitor only, the window waits hidden for a second one and a log line says so (a machine whose
only monitor faces the customer says
.BR "\-\-screen 1" ).
A monitor that is not there gives a log line that lists the monitors, and the window waits
hidden for it.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         o.screen = Q(value);
         return {};
     }},
    {"http", "ADDR:PORT",
     "Also serve the display as a live web page at http://ADDR:PORT/; ADDR:PORT may be left "
     "out: {default}, this machine only (0.0.0.0:PORT serves the network).",
     R"man(Also serve the display as a live web page, for a tablet or a TV with a browser facing the
customer (default {default}, this machine only; 0.0.0.0:8080 or the machine's network
address serves the shop's network, and a line on standard error then says where to open the
page). Port 0 lets the system pick a free port, named in the log.
.B GET /
is the page (self-contained: it asks for nothing but the stream from where it came; it
reconnects by itself and marks a lost link with a small dot);
.B GET /state
the board as JSON
.RB ( text ", " scroll ", " register ", " colour " 0-15, " rgb
.BR #rrggbb );
.B GET /events
a server-sent event stream carrying the whole board at once and at each change. Nothing
changes the board. At most 32 pages follow it at once (more get 503) and 64 connections are
open, shared between client addresses (see
.BR \-\-http\-share\-viewers ); a request is at most 8 KiB and 100 lines of head (431 or 413 otherwise) and must be
whole within 10 seconds (408), and its answer taken within the same 10 seconds (or the
connection is cut); a page that does not keep up gets only the latest board, and one that
reads nothing for 30 seconds is dropped. A request for a host the page is not
served under gets 421 (see
.BR \-\-http\-host );
the page's policy lets the browser run only its own script and style.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         o.http = ParseEndpoint(Q(value));
         if (!o.http) return "--http wants ADDR:PORT, such as 127.0.0.1:8080 or 0.0.0.0:8080";
         return {};
     },
     nullptr, false, "127.0.0.1:8080"},
    {"http-host", "NAME",
     "Also serve the web page to requests that name it NAME (such as display.shop.lan); "
     "repeatable. Loopback and the address a request came to are always served; bound to "
     "loopback nothing else is, bound to the network any name is until one is given. Other "
     "names get 421.",
     R"man(Also serve the web page to requests that name it
.I NAME
(a host name, such as display.shop.lan, or an address); may be given more than once.
Requests for
.B localhost
or a loopback address are always served, and so are, bound to the network, requests for the
address they came to (http://192.168.1.20:8080/). Bound to loopback nothing else is; bound to
the network any name is until one is given. A request for another host gets 421, so that a
page of another site whose name is pointed at this machine (DNS rebinding) cannot read the
board through a browser.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         if (HostName(Q(value)).isEmpty()) {
             return "--http-host wants a host name or address, such as display.shop.lan or "
                    "192.168.1.20";
         }
         o.httpHosts << Q(value);
         return {};
     },
     nullptr, true},
    {"http-allow", "ADDR/PREFIX",
     "Let only the network ADDR/PREFIX, or the address ADDR (a tablet), follow the web page; "
     "repeatable. A page from elsewhere loads but gets 403 for its live stream, so the places "
     "of the streams go to the allowed addresses alone (default: everyone may follow).",
     R"man(Let only that network, or address (a tablet), follow the web page live; may be given more
than once. A page from elsewhere loads, but its stream gets 403, so the 32 places of the
streams and their shares go to the allowed addresses alone; and when every connection is
taken, a newcomer from an allowed address takes the newest connection of another address.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         const QString fault = o.httpAllowed.Add(Q(value));
         if (fault.isEmpty()) return {};
         return "--http-allow " + std::string(value) + ": " + fault.toStdString();
     },
     nullptr, true},
    {"http-share-viewers", "N",
     "The most of the 32 pages following the web page at once one client address holds (an "
     "IPv6 address counts by its /64; default {default}). Its next page gets 503; a page from "
     "an address that holds fewer, when every place is taken, takes the oldest of the address "
     "that holds the most.",
     R"man(The most of the 32 pages following the web page at once that one client address holds
(default {default}; an IPv6 address counts by its /64): its next page gets 503. A page from an
address below its share is served even when every place is taken, in the place of the oldest
page of the address that holds the most (its own address first on a tie, so that a tablet
back after its Wi-Fi dropped replaces its old stream at once); only a new address while every
address holds one page is refused.)man",
     [](std::string_view value, DisplayOptions& o) {
         WebLimits& web = o.webLimits;
         return ReadNumber(value, 1, web.maxViewers, &web.shareViewers,
                           "--http-share-viewers wants a whole number from 1 to " +
                               std::to_string(web.maxViewers));
     },
     [](const DisplayOptions& d) { return Shown(d.webLimits.shareViewers); }},
    {"http-share-connections", "N",
     "The same for the web page's 64 connections, pages included (default {default}).",
     R"man(The same for the web page's 64 connections, pages included (default {default}): a connection past
the share, or refused, is answered 503 unread; a connection from an address below its share
takes the oldest connection of the address that holds the most, which is cut. When every
connection is taken, one whose request is not whole 3 seconds after it opened gives its place
to a newcomer, the newest of them first.)man",
     [](std::string_view value, DisplayOptions& o) {
         WebLimits& web = o.webLimits;
         return ReadNumber(value, 1, web.maxConnections, &web.shareConnections,
                           "--http-share-connections wants a whole number from 1 to " +
                               std::to_string(web.maxConnections));
     },
     [](const DisplayOptions& d) { return Shown(d.webLimits.shareConnections); }},
    {"encoding", "NAME",
     "How message texts are read: windows-1252 (default, what the client sends) or utf-8 (for "
     "till software that sends UTF-8; a malformed byte shows as the replacement character).",
     R"man(How message texts are read:
.B windows\-1252
(the default, what the client sends) or
.BR utf\-8 ,
for a shop whose own software alone sends, in UTF-8
.RB ( "afficheur\-send \-\-encoding utf\-8" ).
A malformed byte shows as the replacement character; the message is still shown.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         const auto encoding = protocol::EncodingNamed(value);
         if (!encoding) return "--encoding wants windows-1252 or utf-8";
         o.encoding = *encoding;
         return {};
     }},
    {"state", "FILE",
     "Keep the board in FILE across restarts (default: display-PORT.json under "
     "$STATE_DIRECTORY, or else ${XDG_STATE_HOME:-~/.local/state}/afficheur/; none when the "
     "port is 0).",
     R"man(Keep the board in FILE across restarts: replaced atomically when the board changes, at most
four times a second, and at once on SIGTERM and SIGINT; read at start. Default:
.I display\-PORT.json
under
.B $STATE_DIRECTORY
or else
.IR ${XDG_STATE_HOME:\-~/.local/state}/afficheur/ ;
none for port 0. A damaged file is set aside as
.I FILE.damaged
(then
.IR FILE.damaged.1 " to " .9 :
an earlier one is never replaced). The file is created for its user alone (mode 0600) and
written through its folder, opened once at start: a temporary file beside it, synced and
renamed over it. A folder that other users may write or that belongs to another user, and a
path that is a symbolic link, a FIFO or anything but a regular file, are refused at start
(exit status 2); a link put there later is never written through.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         o.keeping.statePath = Q(value);
         o.stateGiven = true;
         return {};
     }},
    {"restore-within", "SECONDS",
     "At start, show the saved text again only when it is younger than SECONDS (default "
     "{default}); the scrolling text, the register's name and the colour always come back.",
     R"man(At start, the saved text comes back only when younger than SECONDS (default {default}); the
scrolling text, the register's name and the colour always do.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         qint64 seconds = 0;
         if (auto why = ReadNumber(value, 0, kYearSeconds, &seconds,
                                   "--restore-within wants a whole number of seconds from 0 to "
                                   "a year");
             !why.empty())
             return why;
         o.keeping.restoreWithinMs = seconds * 1000;
         return {};
     },
     [](const DisplayOptions& d) { return Shown(d.keeping.restoreWithinMs / 1000); }},
    {"welcome", "TEXT",
     "The text shown at a first start and when the saved text is too old (default: none).",
     R"man(Shown at a first start and when the saved text is too old.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         o.keeping.welcome = value;
         return {};
     }},
    {"welcome-after", "SECONDS",
     "Show the welcome text again after SECONDS without a message (default: never).",
     R"man(Put the welcome text back after SECONDS without a message.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         qint64 seconds = 0;
         if (auto why = ReadNumber(value, 1, kYearSeconds, &seconds,
                                   "--welcome-after wants a whole number of seconds from 1 to a "
                                   "year");
             !why.empty())
             return why;
         o.keeping.welcomeAfterMs = seconds * 1000;
         return {};
     }},
    {"logo", "FILE",
     "Show the shop's logo (a PNG, JPEG or SVG FILE) above the welcome text, on the window and "
     "the page.",
     R"man(Show the shop's logo, a PNG, JPEG or SVG
.IR FILE ,
above the welcome text on the window, the full\-screen window and the page, whenever the
welcome text shows. Character displays keep the welcome text alone. A file that cannot be read
as a picture is skipped with one line on standard error.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         if (value.empty()) return "--logo wants a picture file (PNG, JPEG or SVG)";
         o.logo = Q(value);
         return {};
     }},
    {"pictures", "DIR",
     "Whenever the welcome text shows, show the pictures of the folder DIR (PNG, JPEG or SVG) "
     "one after the other, in their names' order, between the welcome text's turns.",
     R"man(Whenever the welcome text shows (at start, or after
.BR \-\-welcome\-after ),
show the PNG, JPEG and SVG pictures of the folder
.I DIR
one after the other, in their file names' order (at most 200), each alone in the text's place,
between turns of the welcome text; any text or sale message takes the screen at once. They are
read once, at start, off the thread that takes messages. A file that is damaged, not a picture,
larger than 20 MB or than 40 megapixels is skipped with one line on standard error naming it,
and the others show. The page gets them from the display, made no larger than 1920 pixels.
Character displays keep the welcome text. As a service, the folder is read with the service's
rights and sees no home folder: put it where they reach, such as /etc/afficheur/pictures,
readable by all. A monitor that follows the service
.RB ( \-\-follow )
shows them when given the same options.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         if (value.empty()) return "--pictures wants a folder of pictures";
         o.pictures = Q(value);
         return {};
     }},
    {"picture-seconds", "SECONDS", "How long each picture of --pictures shows (default {default}).",
     R"man(How long each picture, and the welcome text between them, shows (default {default}).)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         qint64 seconds = 0;
         if (auto why = ReadNumber(value, 1, 3600, &seconds,
                                   "--picture-seconds wants a whole number of seconds from 1 to "
                                   "3600");
             !why.empty())
             return why;
         o.keeping.pictureMs = seconds * 1000;
         return {};
     },
     [](const DisplayOptions& d) { return Shown(d.keeping.pictureMs / 1000); }},
    {"follow", "URL",
     "Take no messages: show the board of the display whose page is at URL (its --http, such "
     "as http://127.0.0.1:8080/), for a customer's monitor beside a display that runs as a "
     "service.",
     R"man(Take no messages: show the board of the display whose page is at URL (its
.BR \-\-http ,
such as http://127.0.0.1:8080/), following its event stream, for a customer's monitor beside a
display that runs as a service. The last board stays while that display is away; it is followed
again every 2 s.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         const QUrl followed(Q(value));
         if (followed.scheme() != QLatin1String("http") || followed.host().isEmpty())
             return "--follow wants the page of a display, such as http://127.0.0.1:8080/";
         o.follow = followed;
         return {};
     }},
    {"mqtt", "URL",
     "Also take messages from an MQTT broker, and publish the board there: "
     "mqtt://[USER@]HOST[:PORT] (port 1883) or mqtts://... (TLS, port 8883). The display "
     "connects outward and keeps trying while the broker is away.",
     R"man(Also take messages from an MQTT broker and report the board there:
.BI mqtt:// [USER@]HOST[:PORT]
(default port 1883) or
.BI mqtts:// ...
(TLS, default port 8883, the server's certificate checked against the system's authorities
or
.BR \-\-mqtt\-ca ).
The password comes from
.BR \-\-mqtt\-password\-file ,
never from the URL. The display connects outward (it never listens for the broker), with a
persistent session named afficheur\-display:PREFIX, so that a message published while it
reconnects is kept for it. When the broker is away it keeps its board and tries again, after
1 s and then up to 30 s, with one line on standard error per outage. Under
.IR PREFIX " (" \-\-mqtt\-topic ):
.I PREFIX/set
takes a JSON object, such as
{"lines":[["Pain","1,20"]],"total":["TOTAL","1,20 EUR"]}
(keys text, scroll, colour, register, lines, total, change, clear, applied as one change; a
payload over 64 KiB, not UTF\-8 or not such an object is refused whole, with a line on
standard error);
.I PREFIX/state
holds the board as the page's /state gives it, retained, published at each change (at most
four times a second) and at each connect;
.I PREFIX/status
holds online, retained, and offline once the display stops or its link breaks (its last
will).)man",
     [](std::string_view value, DisplayOptions& o) { return ReadBrokerUrl(value, o.mqtt); }},
    {"mqtt-ca", "FILE",
     "The certificate authority (PEM) that signed the mqtts:// broker's certificate, for a "
     "private one (default: the system's).",
     R"man(The certificate authority, a PEM file, that signed the
.B mqtts://
broker's certificate, for a shop's own authority (default: the system's authorities). The
broker's name must match its certificate.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         o.mqtt.caFile = value;
         return {};
     }},
    {"mqtt-password-file", "FILE",
     "The broker login's password: the first line of FILE (readable by the display's user "
     "alone).",
     R"man(The password of the broker's login (the USER of
.BR \-\-mqtt ):
the first line of FILE, read at start. Make it readable by the display's user alone.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         std::string error;
         const auto password = ReadPasswordFile(std::string(value), &error);
         if (!password) return "--mqtt-password-file: " + error;
         o.mqtt.password = *password;
         return {};
     }},
    {"mqtt-keepalive", "SECONDS",
     "Seconds between the display's signs of life to the broker (default {default}); the "
     "broker says offline about 1.5 times that after the display vanishes.",
     R"man(Seconds between the display's signs of life to the broker (default {default}, from 5): the
broker publishes offline about one and a half times that after the display vanishes without
a word, and the display sees a broker that vanished as soon.)man",
     [](std::string_view value, DisplayOptions& o) {
         return ReadNumber(value, kMinKeepaliveSeconds, kMaxKeepaliveSeconds,
                           &o.mqtt.keepaliveSeconds,
                           "--mqtt-keepalive wants a whole number of seconds from 5 to 65535");
     },
     [](const DisplayOptions& d) { return Shown(d.mqtt.keepaliveSeconds); }},
    {"mqtt-topic", "PREFIX",
     "The display's topics on the broker: PREFIX/set, PREFIX/state, PREFIX/status (default "
     "afficheur/HOSTNAME/PORT, PORT being --listen's).",
     R"man(The display's topics on the broker:
.IR PREFIX/set ", " PREFIX/state " and " PREFIX/status
(default afficheur/HOSTNAME/PORT, with this machine's name and the port of
.BR \-\-listen ).
No wildcard (+, #), no empty level.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         if (const std::string fault = TopicFault(value); !fault.empty())
             return "--mqtt-topic " + std::string(value) + ": " + fault;
         o.mqtt.topic = value;
         return {};
     }},
    {"mqtt-group", "TOPIC",
     "Also take messages published on TOPIC/set, for several displays at once; repeatable.",
     R"man(Also take the messages published on
.IR TOPIC/set ,
which several displays share (all the displays of a shop, of a chain); may be given more
than once. No wildcard (+, #), no empty level.)man",
     [](std::string_view value, DisplayOptions& o) -> std::string {
         if (const std::string fault = TopicFault(value); !fault.empty())
             return "--mqtt-group " + std::string(value) + ": " + fault;
         o.mqtt.groups.emplace_back(value);
         return {};
     },
     nullptr, true},
    {"config",
     "FILE",
     "Read options from FILE, one per line by its long name (listen = 0.0.0.0:9100, welcome = "
     "Bienvenue chez nous, headless); the command line's own come after them.",
     R"man(Read options from FILE first: one per line, by its long name without dashes
.RB ( "listen = 0.0.0.0:9100" ,
.BR headless ),
values unquoted; comments start with # or ;; a UTF-8 byte-order mark at the start is passed
over.
.BR allow ", " http\-allow ", " lcdproc ", " http\-host " and " mqtt\-group
may repeat; another option that takes a value given twice is an error naming both lines. A
file over 1 MiB is refused (exit status 2), never read in part. The command line's options
win.)man",
     [](std::string_view, DisplayOptions&) -> std::string { return {}; },
     nullptr,
     false,
     {},
     false},
};

// The options that only the web page takes: they go with --http.
constexpr std::string_view kWebOnly[] = {"http-host", "http-allow", "http-share-viewers",
                                         "http-share-connections"};
// The options about the broker: they go with --mqtt.
constexpr std::string_view kBrokerOnly[] = {"mqtt-ca", "mqtt-password-file", "mqtt-keepalive",
                                            "mqtt-topic", "mqtt-group"};

// The broker's options together, once each was read.
std::optional<OptionsExit> FinishBroker(const QCommandLineParser& parser, DisplayOptions& options) {
    BrokerOptions& broker = options.mqtt;
    if (broker.url.empty()) {
        for (const std::string_view name : kBrokerOnly) {
            if (parser.isSet(Q(name)))
                return Usage("--" + std::string(name) +
                             " is about the broker: it goes with --mqtt");
        }
        return std::nullopt;
    }
    if (options.follow)
        return Usage("--mqtt takes messages and --follow takes none: give one of them");
    if (!broker.password.empty() && broker.user.empty())
        return Usage("--mqtt-password-file is a login's: name its user, mqtt://USER@HOST");
    if (!broker.caFile.empty() && !broker.tls)
        return Usage("--mqtt-ca is for a TLS broker: mqtts://HOST");
    if (broker.topic.empty())
        broker.topic = DefaultTopic(QSysInfo::machineHostName().toStdString(), options.listen.port);
    return std::nullopt;
}

QList<QCommandLineOption> CommandLineOptions() {
    const DisplayOptions defaults;
    QList<QCommandLineOption> options;
    for (const Row& row : kRows) {
        const QString help = QString::fromStdString(WithDefault(row.help, row, defaults));
        if (row.value.empty()) {
            options << QCommandLineOption(Q(row.name), help);
        } else {
            options << QCommandLineOption(Q(row.name), help, Q(row.value));
        }
    }
    return options;
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
std::variant<std::vector<std::string>, std::string> ConfigFileOptions(const std::string& file) {
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
    auto arguments = ConfigArguments(std::string_view(text.constData(), text.size()), file,
                                     ConfigNames(DisplayOptionTable()));
    if (const auto* error = std::get_if<ConfigError>(&arguments)) return "--config: " + error->why;
    return std::get<std::vector<std::string>>(std::move(arguments));
}

// The rules that tie options together, once each was read.
std::optional<OptionsExit> Finish(const QCommandLineParser& parser, DisplayOptions& options) {
    if (!options.http) {
        for (const std::string_view name : kWebOnly) {
            if (parser.isSet(Q(name)))
                return Usage("--" + std::string(name) +
                             " is about the web page: it goes with --http");
        }
    }
    if (!options.stateGiven) {
        options.keeping.statePath =
            options.follow ? QString() : DefaultStatePath(options.listen.port);
    }
    return FinishBroker(parser, options);
}

}  // namespace

std::span<const OptionSpec<DisplayOptions>> DisplayOptionTable() {
    return kRows;
}

std::variant<DisplayOptions, OptionsExit> ParseOptions(const std::vector<std::string>& arguments) {
    // The configuration file's options go first, so that the command line's own win.
    std::vector<std::string> everything(arguments.begin(),
                                        arguments.begin() + (arguments.empty() ? 0 : 1));
    if (const auto file = ConfigFileArgument(arguments)) {
        auto read = ConfigFileOptions(*file);
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
    for (const Row& row : kRows) {
        if (!row.leftOut.empty())
            texts = WithOptionDefault(texts, QStringLiteral("--") + Q(row.name), Q(row.leftOut));
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Customer display for the Afficheur client. Each connection is one message: plain "
        "text, or 0xFF then '1' (scrolling text), '2' (colour 0-15) or '3' (register name) "
        "and the text, in Windows-1252."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions(CommandLineOptions());
    if (!parser.parse(texts)) return OptionsExit{1, parser.errorText().toStdString(), false};
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Without a running application Qt cannot name the program: the usage line does.
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QFileInfo(texts.first()).fileName());
        return OptionsExit{0, text.toStdString(), true};
    }
    if (parser.isSet(version))
        return OptionsExit{0, std::string("afficheur-display ") + AFFICHEUR_VERSION + "\n", true};

    DisplayOptions options;
    for (const Row& row : kRows) {
        const QString name = Q(row.name);
        if (!parser.isSet(name)) continue;
        const QStringList values = row.value.empty() ? QStringList{QString()}
                                   : row.repeatable  ? parser.values(name)
                                                     : QStringList{parser.value(name)};
        for (const QString& value : values) {
            const QByteArray utf8 = value.toUtf8();
            if (auto why = row.read(std::string_view(utf8.constData(), utf8.size()), options);
                !why.empty())
                return Usage(std::move(why));
        }
    }
    if (auto exit = Finish(parser, options)) return *exit;
    return options;
}

bool LacksDisplayServer(const DisplayOptions& options) {
    return options.window && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace display

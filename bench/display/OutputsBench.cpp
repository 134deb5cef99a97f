// afficheur-display with its three kinds of output on at once (the window, one LCDd link, the
// web page) and its state file, measured as a process:
//   latency  messages sent one at a time (one loopback connection each, as the client sends
//            them), first back to back (each once the previous one is at every output), then
//            each after 30 ms of quiet: from the close of the connection to the window's paint
//            reaching the X server, to the widget_set line carrying the text at LCDd, to the
//            page's event carrying it, and to the latest of the three ("every output"); median
//            and 99th percentile of each; then the idle pass again with a scrolling text
//            running (the window's marquee at 30 frames a second, LCDd's stepped every 250 ms);
//            then a sale of 40 lines at a time; then each message after 3.2 s of quiet, when
//            the welcome text has come back (after 2 s) with the shop's pictures turning every
//            second (four 1920x1080 SVG pictures; a picture's repaint that happens to fall
//            between a message and its paint would count as that paint, one chance in a few
//            hundred)
//   state    1,000 messages sent as fast as the display takes them (at most 8 of them not yet
//            logged): how many times the state file was replaced (inotify on its folder) over
//            the burst, against "at most 4 a second"
//
// The window is real: the bench starts an Xvfb of its own on a free display number and sees
// the window's paints there through the X server's Damage extension (any change of what the
// screen shows: nothing else draws on that server; with a scrolling text, the rectangles its
// frames repaint are learnt first and not counted). LCDd
// is a stand-in (a loopback listener answering like LCDd for a 20x2 display); the page is one
// reader of GET /events; the state file lives in a temporary folder, as --state, so its writes are
// inside the latency too.
//
// Usage: bench_outputs [MESSAGES [DISPLAY-OPTION...]]   (messages timed one at a time, default
// 500; the options are added to the display's, such as --fullscreen --screen 1 for a window
// over the whole 1280x1024 screen). Prints lines "label  value unit".

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include "platform/FileDescriptor.h"
#include "probe/Loopback.h"
#include "probe/Percentile.h"

namespace {

using platform::Fd;
using platform::WriteAll;
using Clock = std::chrono::steady_clock;
using probe::Percentile;
using probe::WaitReadable;
using std::chrono::milliseconds;

constexpr milliseconds kPatience{10000};
constexpr int kBurst = 1000;
constexpr milliseconds kIdle{30};       // the pause before each message of the idle pass
constexpr int kInFlight = 8;            // burst messages sent and not yet logged by the display
constexpr milliseconds kStateGap{250};  // the display's promise: at most 4 writes a second
constexpr const char* kStateName = "state.json";
constexpr const char* kScroll =
    "Soldes sur tous les fromages et les vins de la region, jusqu'a la fermeture ce soir";

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Bytes from a socket or pipe, taken a line at a time; Next waits until the patience runs out.
class Lines : public probe::LineReader {
  public:
    std::optional<std::string> Next(int fd) {
        return LineReader::Next(fd, Clock::now() + kPatience);
    }
};

// A child process, ended (SIGTERM, then SIGKILL after 5 s) and awaited when it goes.
class Child {
  public:
    // Starts args[0] with the environment of the bench; `fds` maps descriptors of the bench to
    // the child's numbers; stderr goes nowhere when `quiet`.
    Child(const std::vector<std::string>& args, const std::vector<std::pair<int, int>>& fds,
          bool quiet) {
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        for (const auto& [from, to] : fds)
            ::posix_spawn_file_actions_adddup2(&actions, from, to);
        if (quiet) {
            ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        if (error != 0) throw Failure("cannot start " + args[0]);
    }
    Child(Child&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    ~Child() { Stop(); }
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 500 && !ended; ++i) {
            ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!ended) ::usleep(10000);
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child& operator=(Child&&) = delete;

  private:
    pid_t pid_ = -1;
};

std::pair<Fd, Fd> Pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw Failure("no pipe");
    return {Fd(ends[0]), Fd(ends[1])};
}

// A temporary folder, removed with what it holds.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = std::filesystem::temp_directory_path() / "afficheur-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw Failure("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

Fd Listen(uint16_t* port) {
    Fd fd(probe::ListenOnLoopback(port, 4));
    if (!fd.valid()) throw Failure("cannot listen on loopback");
    return fd;
}

Fd Connect(uint16_t port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const timeval patience{10, 0};  // bounds connect() as well
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    const sockaddr_in address = Loopback(port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw Failure("cannot reach port " + std::to_string(port));
    return fd;
}

// One message as the client sends it; the time its connection was closed.
Clock::time_point Send(uint16_t port, const std::string& text) {
    Fd fd = Connect(port);
    if (!WriteAll(fd.get(), text)) throw Failure("cannot write a message");
    fd.Close();
    return Clock::now();
}

uint16_t PortIn(const std::string& logLine) {
    const auto key = logLine.find("\"address\":\"");
    const auto end = logLine.find('"', key + 11);
    if (key == std::string::npos || end == std::string::npos) return 0;
    const std::string address = logLine.substr(key + 11, end - key - 11);
    return static_cast<uint16_t>(std::atoi(address.c_str() + address.rfind(':') + 1));
}

using Box = std::array<int, 4>;

// The X server's word on what the screen shows: a Damage object on the root window, which
// reports every change drawn under it, the display's window included.
class Paints {
  public:
    Paints() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_) != 0) throw Failure("cannot reach the X server");
        const xcb_query_extension_reply_t* damage =
            xcb_get_extension_data(connection_, &xcb_damage_id);
        if (damage == nullptr || damage->present == 0)
            throw Failure("the X server has no Damage extension");
        notify_ = static_cast<uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
        std::free(xcb_damage_query_version_reply(
            connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        xcb_damage_create(connection_, xcb_generate_id(connection_), root,
                          XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        xcb_flush(connection_);
    }
    ~Paints() { xcb_disconnect(connection_); }
    Paints(const Paints&) = delete;
    Paints& operator=(const Paints&) = delete;

    int fd() const { return xcb_get_file_descriptor(connection_); }
    // The rectangles changed since the last call, each as x, y, width, height on the screen
    // (reads what the socket holds).
    std::vector<Box> Take() {
        std::vector<Box> boxes;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7F) == notify_) {
                const auto* damage = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
                boxes.push_back(
                    {damage->area.x, damage->area.y, damage->area.width, damage->area.height});
            }
            std::free(event);
        }
        return boxes;
    }

  private:
    xcb_connection_t* connection_;
    uint8_t notify_ = 0;
};

// Everything the display talks to, read from one poll: the LCDd stand-in's link ("hello"
// answered with a 20x2 display, every other command with "success"), the page's event stream, the
// display's log, the state folder's inotify events and the X server's paints. Notes when the text
// expected shows at LCDd and at the page, and the first paint after it was expected that is not
// one of the marquee's frames (which all repaint the same band).
class Outputs {
  public:
    Outputs(Fd lcd, Fd page, Fd log, Lines logLines, Fd watch, Paints& paints)
        : lcd_(std::move(lcd)),
          page_(std::move(page)),
          log_(std::move(log)),
          logLines_(std::move(logLines)),
          watch_(std::move(watch)),
          paints_(paints) {}

    // Takes every rectangle painted over `time` as the marquee's band, not the text's.
    void LearnBand(milliseconds time) {
        learning_ = true;
        for (const auto end = Clock::now() + time; Clock::now() < end;)
            Pump(milliseconds(10));
        learning_ = false;
    }

    // The next message's text (its last line, for a message of several: then its page event
    // is the one that holds it anywhere).
    void Expect(const std::string& text, bool whole = true) {
        Painted();  // paints of what came before
        text_ = text;
        pageMark_ = whole ? "\"text\":\"" + text + "\"" : text;
        atLcd_.reset();
        atPage_.reset();
        atWindow_.reset();
    }
    std::optional<Clock::time_point> atLcd() const { return atLcd_; }
    std::optional<Clock::time_point> atPage() const { return atPage_; }
    std::optional<Clock::time_point> atWindow() const { return atWindow_; }
    bool everywhere() const { return atLcd_ && atPage_ && atWindow_; }
    int logged() const { return logged_; }
    int shown() const { return shown_; }
    const std::vector<Clock::time_point>& replaced() const { return replaced_; }

    // Waits up to `wait` for anything to read, then takes all there is.
    void Pump(milliseconds wait) {
        pollfd fds[] = {{lcd_.get(), POLLIN, 0},
                        {page_.get(), POLLIN, 0},
                        {log_.get(), POLLIN, 0},
                        {watch_.get(), POLLIN, 0},
                        {paints_.fd(), POLLIN, 0}};
        // A paint already read into the X library's queue does not wake poll.
        if (Painted() && !atWindow_ && !text_.empty()) atWindow_ = Clock::now();
        if (::poll(fds, std::size(fds), static_cast<int>(wait.count())) <= 0) return;
        const auto now = Clock::now();
        if (Painted() && !atWindow_ && !text_.empty()) atWindow_ = now;
        if (fds[0].revents != 0) ReadLcd(now);
        if (fds[1].revents != 0) ReadPage(now);
        if (fds[2].revents != 0) ReadLog();
        if (fds[3].revents != 0) ReadWatch(now);
    }

  private:
    // Whether anything but the marquee's band was painted since the last call.
    bool Painted() {
        bool painted = false;
        for (const Box& box : paints_.Take()) {
            if (learning_) band_.insert(box);
            painted = painted || band_.count(box) == 0;
        }
        return painted && !learning_;
    }

    void ReadLcd(Clock::time_point now) {
        if (!commands_.Feed(lcd_.get())) throw Failure("the display left LCDd");
        while (const auto line = commands_.Take()) {
            const char* answer = *line == "hello" ? "connect LCDproc 0.5.9 protocol 0.3 lcd wid "
                                                    "20 hgt 2 cellwid 5 cellhgt 8\n"
                                                  : "success\n";
            if (!WriteAll(lcd_.get(), answer)) throw Failure("cannot answer the display");
            if (!atLcd_ && !text_.empty() && line->rfind("widget_set ", 0) == 0 &&
                line->find(text_) != std::string::npos) {
                atLcd_ = now;
            }
        }
    }
    void ReadPage(Clock::time_point now) {
        char chunk[65536];
        const ssize_t n = ::read(page_.get(), chunk, sizeof chunk);
        if (n <= 0) throw Failure("the page's event stream ended");
        pending_.append(chunk, static_cast<std::size_t>(n));
        if (!atPage_ && !text_.empty() && pending_.find(pageMark_) != std::string::npos) {
            atPage_ = now;
        }
        if (pending_.size() > pageMark_.size())
            pending_.erase(0, pending_.size() - pageMark_.size());
    }
    void ReadLog() {
        if (!logLines_.Feed(log_.get())) throw Failure("the display ended");
        while (const auto line = logLines_.Take()) {
            ++logged_;
            if (line->find("\"shown\":true") != std::string::npos) ++shown_;
        }
    }
    void ReadWatch(Clock::time_point now) {
        alignas(inotify_event) char events[4096];
        const ssize_t n = ::read(watch_.get(), events, sizeof events);
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->len > 0 && std::string(event->name) == kStateName) replaced_.push_back(now);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }

    Fd lcd_;
    Lines commands_;
    Fd page_;
    std::string pending_;
    Fd log_;
    Lines logLines_;
    Fd watch_;
    Paints& paints_;
    std::set<Box> band_;
    bool learning_ = false;
    std::string text_;
    std::string pageMark_;
    std::optional<Clock::time_point> atLcd_;
    std::optional<Clock::time_point> atPage_;
    std::optional<Clock::time_point> atWindow_;
    int logged_ = 0;
    int shown_ = 0;
    std::vector<Clock::time_point> replaced_;
};

// Xvfb on a free display number, which it names through a pipe; DISPLAY is set to it.
Child StartX() {
    auto [numberIn, numberOut] = Pipe();
    Child x({"/usr/bin/Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0",
             "1280x1024x24"},
            {{numberOut.get(), 3}}, true);
    numberOut.Close();
    Lines lines;
    const auto number = lines.Next(numberIn.get());
    if (!number || number->empty()) throw Failure("Xvfb named no display");
    ::setenv("DISPLAY", (":" + *number).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);  // the real window, whatever the caller's setting
    return x;
}

struct Latencies {
    std::vector<double> window;
    std::vector<double> lcd;
    std::vector<double> page;
    std::vector<double> every;  // the latest of the three
    int lost = 0;
};

// A message for a text that outputs expect: the text itself, or a message built around it.
using Compose = std::string (*)(const std::string& text);

// A sale of 40 lines, text the last item's label: the latest lines are what a small display
// shows.
std::string FortyLineSale(const std::string& text) {
    std::string sale;
    for (int line = 1; line < 40; ++line)
        sale += "Article " + std::to_string(line) + "\t" + std::to_string(line) + ",00 EUR\n";
    return sale + text + "\t1,00";
}

// `messages` texts named after `prefix`, each sent once the previous one is at both outputs and
// `pause` has passed.
Latencies Time(Outputs& outputs, uint16_t port, const char* prefix, int messages,
               milliseconds pause, Compose compose = nullptr) {
    Latencies times;
    for (int i = 0; i < messages; ++i) {
        for (const auto resume = Clock::now() + pause; Clock::now() < resume;)
            outputs.Pump(milliseconds(1));
        char text[32];
        std::snprintf(text, sizeof text, "%s %05d", prefix, i);
        outputs.Expect(text, compose == nullptr);
        const auto closed = Send(port, compose != nullptr ? compose(text) : std::string(text));
        while (!outputs.everywhere() && Clock::now() < closed + kPatience)
            outputs.Pump(milliseconds(100));
        if (!outputs.everywhere()) {
            ++times.lost;
            continue;
        }
        times.window.push_back(Ms(*outputs.atWindow() - closed));
        times.lcd.push_back(Ms(*outputs.atLcd() - closed));
        times.page.push_back(Ms(*outputs.atPage() - closed));
        times.every.push_back(
            Ms(std::max({*outputs.atWindow(), *outputs.atLcd(), *outputs.atPage()}) - closed));
    }
    return times;
}

void Print(const std::string& label, double value, const char* unit) {
    std::printf("%-78s %10.3f %s\n", label.c_str(), value, unit);
}

void Print(const std::string& label, const Latencies& times, int messages) {
    Print(label + "message to window paint, median", Percentile(times.window, 0.5), "ms");
    Print(label + "message to window paint, p99", Percentile(times.window, 0.99), "ms");
    Print(label + "message to LCDd widget_set, median", Percentile(times.lcd, 0.5), "ms");
    Print(label + "message to LCDd widget_set, p99", Percentile(times.lcd, 0.99), "ms");
    Print(label + "message to page event, median", Percentile(times.page, 0.5), "ms");
    Print(label + "message to page event, p99", Percentile(times.page, 0.99), "ms");
    Print(label + "message to every output, median", Percentile(times.every, 0.5), "ms");
    Print(label + "message to every output, p99", Percentile(times.every, 0.99), "ms");
    std::printf("%-78s %10d of %d\n", (label + "messages not at every output within 10 s").c_str(),
                times.lost, messages);
}

int Run(int messages, const std::vector<std::string>& extra) {
    const TempFolder folder;
    const std::string state = folder.path() / kStateName;
    const Child x = StartX();
    Paints paints;

    uint16_t lcdPort = 0;
    const Fd lcdListener = Listen(&lcdPort);
    auto [logIn, logOut] = Pipe();
    // The shop's pictures: four screens of shapes, drawn at 1920x1080.
    const auto pictures = folder.path() / "pictures";
    std::filesystem::create_directories(pictures);
    for (int p = 0; p < 4; ++p) {
        std::ofstream svg(pictures / ("offer-" + std::to_string(p) + ".svg"));
        svg << R"(<svg xmlns="http://www.w3.org/2000/svg" width="1920" height="1080">)";
        for (int r = 0; r < 60; ++r)
            svg << "<circle cx=\"" << (r * 97 + p * 300) % 1920 << "\" cy=\"" << (r * 53) % 1080
                << "\" r=\"" << 40 + r * 3 << "\" fill=\"#" << std::hex
                << (0x203040 * (r + p + 1)) % 0xffffff << std::dec << "\" opacity=\"0.6\"/>";
        svg << "</svg>\n";
    }
    std::vector<std::string> args = {AFFICHEUR_DISPLAY,
                                     "--log",
                                     "--listen",
                                     "127.0.0.1:0",
                                     "--http",
                                     "127.0.0.1:0",
                                     "--lcdproc",
                                     "127.0.0.1:" + std::to_string(lcdPort),
                                     "--state",
                                     state,
                                     "--welcome",
                                     "Bienvenue",
                                     "--welcome-after",
                                     "2",
                                     "--pictures",
                                     pictures.string(),
                                     "--picture-seconds",
                                     "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    Child display(args, {{logOut.get(), STDOUT_FILENO}}, false);
    logOut.Close();

    // The log names the two ports first.
    Lines logLines;
    uint16_t port = 0;
    uint16_t http = 0;
    while (port == 0 || http == 0) {
        const auto line = logLines.Next(logIn.get());
        if (!line) throw Failure("the display did not start (see its stderr)");
        if (line->find("\"kind\":\"listening\"") != std::string::npos) port = PortIn(*line);
        if (line->find("\"kind\":\"http\"") != std::string::npos) http = PortIn(*line);
    }

    // LCDd's link (its set-up is answered by Outputs) and the page's event stream.
    if (!WaitReadable(lcdListener.get(), Clock::now() + kPatience))
        throw Failure("the display never came to LCDd");
    Fd lcd(::accept4(lcdListener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    Fd page = Connect(http);
    if (!WriteAll(page.get(), "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"))
        throw Failure("cannot ask for the page's events");
    Fd watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (::inotify_add_watch(watch.get(), folder.path().c_str(), IN_MOVED_TO | IN_CREATE) < 0)
        throw Failure("cannot watch the state folder");
    Outputs outputs(std::move(lcd), std::move(page), std::move(logIn), std::move(logLines),
                    std::move(watch), paints);
    // A first message, untimed, once LCDd has answered the set-up, the page follows and the
    // window is on the screen.
    for (const auto settle = Clock::now() + std::chrono::seconds(1); Clock::now() < settle;)
        outputs.Pump(milliseconds(10));
    outputs.Expect("Bonjour");
    const auto hello = Send(port, "Bonjour");
    while (!outputs.everywhere() && Clock::now() < hello + kPatience)
        outputs.Pump(milliseconds(100));
    if (!outputs.everywhere()) throw Failure("the first message never showed");

    // One message at a time: sent as soon as the previous one is at both outputs (the
    // window then paints the previous text while the next one comes), then with the display
    // idle in between.
    const Latencies backToBack = Time(outputs, port, "Article", messages, milliseconds(0));
    const Latencies idle = Time(outputs, port, "Vente", messages, kIdle);
    // The same with a scrolling text running, in the window (30 frames a second) and on LCDd
    // (a step every 250 ms).
    Send(port, std::string("\xFF") + "1" + kScroll);
    // The scrolling text's own repaint of the whole window first: learnt as the band's, it would
    // hide every later repaint of the whole window (a picture giving way to a sale).
    for (const auto settle = Clock::now() + milliseconds(300); Clock::now() < settle;)
        outputs.Pump(milliseconds(10));
    outputs.LearnBand(std::chrono::seconds(1));
    const Latencies marquee = Time(outputs, port, "Promo", messages, kIdle);
    const Latencies sale = Time(outputs, port, "Achat", messages, kIdle, FortyLineSale);
    // After a quiet spell: the welcome text and the pictures in turn, then a message.
    const int afterPictures = std::max(10, messages / 10);
    const Latencies pictured =
        Time(outputs, port, "Client", afterPictures, milliseconds(3200), FortyLineSale);

    // The burst, once the last write of the timed messages is behind (one gap and some).
    outputs.Expect("");
    for (const auto settle = Clock::now() + 3 * kStateGap; Clock::now() < settle;)
        outputs.Pump(milliseconds(10));
    const std::size_t writesBefore = outputs.replaced().size();
    const int loggedBefore = outputs.logged();
    const int shownBefore = outputs.shown();
    char last[32] = "";
    const auto start = Clock::now();
    for (int i = 0; i < kBurst && Clock::now() < start + 3 * kPatience; ++i) {
        // No more than kInFlight messages the display has not logged yet: one sender holds at
        // most 16 of its connections, and those past that are closed unread.
        while (i - (outputs.logged() - loggedBefore) >= kInFlight &&
               Clock::now() < start + 3 * kPatience) {
            outputs.Pump(milliseconds(1));
        }
        std::snprintf(last, sizeof last, "Rafale %05d", i);
        Send(port, last);
        outputs.Pump(milliseconds(0));  // keeps LCDd answered and the pipes drained
    }
    while (outputs.logged() < loggedBefore + kBurst && Clock::now() < start + 3 * kPatience)
        outputs.Pump(milliseconds(100));
    const auto end = Clock::now();
    for (const auto settle = end + 3 * kStateGap; Clock::now() < settle;)
        outputs.Pump(milliseconds(10));
    // The writes of the burst, and the last one that follows it.
    const std::vector<Clock::time_point> writes(outputs.replaced().begin() + writesBefore,
                                                outputs.replaced().end());
    const auto during = std::count_if(writes.begin(), writes.end(),
                                      [end](Clock::time_point at) { return at <= end; });
    double shortestGap = 0;
    for (std::size_t w = 1; w < writes.size(); ++w) {
        const double gap = Ms(writes[w] - writes[w - 1]);
        if (w == 1 || gap < shortestGap) shortestGap = gap;
    }
    display.Stop();  // before its links close under it
    std::ifstream saved(state);
    const std::string savedText((std::istreambuf_iterator<char>(saved)),
                                std::istreambuf_iterator<char>());
    const double seconds = Ms(end - start) / 1000;
    const auto allowed = static_cast<int>(Ms(end - start) / Ms(kStateGap)) + 1;

    std::printf("afficheur-display with the window (Xvfb %s), one LCDd link and the page on\n",
                std::getenv("DISPLAY"));
    Print("", backToBack, messages);
    Print("idle 30 ms before: ", idle, messages);
    Print("marquee running, idle 30 ms before: ", marquee, messages);
    Print("a 40-line sale, marquee running, idle 30 ms before: ", sale, messages);
    Print("a 40-line sale over the pictures turning: ", pictured, afterPictures);
    std::printf("(target: every output within 2 ms at the p99)\n");
    std::printf("%-78s %10d of %d\n", "burst messages shown", outputs.shown() - shownBefore,
                kBurst);
    Print("burst duration", seconds, "s");
    std::printf("%-78s %10td\n", "state file writes during the burst", during);
    Print("state file writes per second", static_cast<double>(during) / seconds, "");
    std::printf("%-78s %10d\n", "state file writes allowed at 4 a second", allowed);
    Print("state file, shortest gap between writes", shortestGap, "ms");
    std::printf("%-78s %10td\n", "state file writes after the burst",
                static_cast<std::ptrdiff_t>(writes.size()) - during);
    std::printf("%-78s %10s\n", "state file holds the last message",
                savedText.find(last) != std::string::npos ? "yes" : "no");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int messages = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    ::signal(SIGPIPE, SIG_IGN);
    try {
        return Run(messages, std::vector<std::string>(argv + std::min(argc, 2), argv + argc));
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench_outputs: %s\n", failure.what());
        return 1;
    }
}

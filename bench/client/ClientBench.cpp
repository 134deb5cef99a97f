// Whole-client measurements, printed as a table:
//   press     press-to-delivery on loopback: a click on message button 0 until an in-process
//             display holds both of its messages (text and colour), repeated; median and p90
//   startup   process start to window shown, Form1 against a bare Qt window of the same size,
//             alternated in the same run; median times and peak memory of each
//   idle      the built afficheur left alone: CPU time and settings-file writes over a period
// Usage: bench_client [press [N] | startup [N] | idle [SECONDS]]   (no argument: all, idle 60 s)
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise. Settings live in a
// temporary folder (HOME and XDG_CONFIG_HOME), removed at the end.

#include <signal.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/Form1.h"
#include "probe/Percentile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using probe::Percentile;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A temporary HOME / XDG_CONFIG_HOME holding a settings file for the client.
class Home {
  public:
    Home() {
        std::string pattern = (fs::temp_directory_path() / "afficheur-bench.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        fs::create_directories(path_ / "config" / "afficheur");
        ::setenv("HOME", path_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (path_ / "config").c_str(), 1);
        fs::create_directories(path_ / "runtime");
        fs::permissions(path_ / "runtime", fs::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", (path_ / "runtime").c_str(), 1);
    }
    ~Home() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Home(const Home&) = delete;
    Home& operator=(const Home&) = delete;

    fs::path folder() const { return path_ / "config" / "afficheur"; }

    void WriteSettings(int port) const {
        std::ofstream(folder() / "QUORIXaffich.ini")
            << "[ecran]\r\nip=127.0.0.1\r\nport=" << port
            << "\r\n[boutons]\r\n0=Bonjour\r\n0 couleur=12\r\n[system]\r\nadmin=JQ\r\n";
    }

  private:
    fs::path path_;
};

// The display's side, in process: counts connections read to their end.
class Display {
  public:
    Display() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, [socket] { socket->readAll(); });
                QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] {
                    ++messages;
                    socket->deleteLater();
                });
            }
        });
    }
    int port() const { return server_.serverPort(); }
    int messages = 0;

  private:
    QTcpServer server_;
};

void UseOffscreenUnlessChosen() {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// ---- press to delivery ------------------------------------------------------------------

void Press(int argc, char** argv, int presses) {
    Home home;
    QApplication app(argc, argv);
    Display display;
    home.WriteSettings(display.port());
    client::Form1 form;
    form.show();

    std::vector<double> times;
    int lost = 0;
    for (int i = 0; i < presses; ++i) {
        const int before = display.messages;
        const auto start = Clock::now();
        const auto deadline = start + std::chrono::seconds(5);
        form.Command1[0]->click();
        while (display.messages < before + 2 && Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        if (display.messages < before + 2) {
            ++lost;
            continue;
        }
        times.push_back(Milliseconds(Clock::now() - start));
    }
    std::printf("%-44s %10.3f ms\n", "press to delivery, median", Percentile(times, 0.5));
    std::printf("%-44s %10.3f ms\n", "press to delivery, p90", Percentile(times, 0.9));
    std::printf("%-44s %10d of %d\n", "presses not delivered within 5 s", lost, presses);
}

// ---- start-up ---------------------------------------------------------------------------

// In the child: builds the window (Form1 or a bare one of the same size), and writes one
// byte on fd once the window is exposed.
enum class Kind { Form, Bare, Labelled };

[[noreturn]] void StartChild(int argc, char** argv, Kind kind, int fd) {
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (kind == Kind::Form) {
        window = std::make_unique<client::Form1>();
    } else {
        window = std::make_unique<QWidget>();
        window->resize(130, 212);  // Form1's outer size in the administrator layout
        // The labelled one shows where the time goes: the first text drawn loads the fonts.
        if (kind == Kind::Labelled) new QPushButton("Command1", window.get());
    }
    window->show();
    QElapsedTimer waited;
    waited.start();
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) &&
           waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    const char shown = 1;
    (void)!::write(fd, &shown, 1);
    ::_exit(0);
}

struct Start {
    double ms = 0;
    long maxRssKb = 0;
};

// Starts this program again as "child-form FD" or "child-bare FD": a whole process start,
// loading included.
Start StartOnce(char** argv, const char* mode) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const std::string fd = std::to_string(pipeFds[1]);
        ::execl("/proc/self/exe", argv[0], mode, fd.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char shown = 0;
    const bool ok = ::read(pipeFds[0], &shown, 1) == 1;
    Start result;
    result.ms = ok ? Milliseconds(Clock::now() - start) : -1;
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    result.maxRssKb = usage.ru_maxrss;
    return result;
}

void Startup(char** argv, int runs) {
    Home home;
    home.WriteSettings(9);  // nothing is sent at start
    std::vector<double> form, bare, labelled;
    long formRss = 0, bareRss = 0;
    for (int i = 0; i < runs; ++i) {  // alternated, so all see the same machine
        const Start f = StartOnce(argv, "child-form");
        const Start b = StartOnce(argv, "child-bare");
        const Start l = StartOnce(argv, "child-labelled");
        if (f.ms >= 0) form.push_back(f.ms);
        if (b.ms >= 0) bare.push_back(b.ms);
        if (l.ms >= 0) labelled.push_back(l.ms);
        formRss = std::max(formRss, f.maxRssKb);
        bareRss = std::max(bareRss, b.maxRssKb);
    }
    const double f = Percentile(form, 0.5), b = Percentile(bare, 0.5);
    std::printf("%-44s %10.1f ms\n", "start-up to window shown, Form1, median", f);
    std::printf("%-44s %10.1f ms\n", "start-up to window shown, bare Qt, median", b);
    std::printf("%-44s %10.2f x\n", "start-up ratio Form1 / bare", b > 0 ? f / b : 0);
    std::printf("%-44s %10.1f ms\n", "(bare Qt with one labelled button, median)",
                Percentile(labelled, 0.5));
    std::printf("%-44s %10.1f MB\n", "peak memory, Form1", formRss / 1024.0);
    std::printf("%-44s %10.1f MB\n", "peak memory, bare Qt", bareRss / 1024.0);
    std::printf("%-44s %10.1f MB\n", "peak memory difference", (formRss - bareRss) / 1024.0);
}

// ---- idle -------------------------------------------------------------------------------

void Idle(int seconds) {
    Home home;
    home.WriteSettings(9);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ::inotify_add_watch(watch, home.folder().c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(AFFICHEUR_CLIENT, AFFICHEUR_CLIENT, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The start writes the defaults it reads, and the position keeper's first save follows its
    // second tick, about 2 s after the start: leave both well behind before the idle period.
    ::sleep(5);
    char drain[4096];
    while (::read(watch, drain, sizeof drain) > 0) {
    }
    // The child's CPU so far, read from /proc (getrusage covers only ended children).
    auto cpuMs = [pid] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) return -1.0;
        std::vector<std::string> fields;
        std::string field;
        for (const char c : line.substr(close + 2)) {
            if (c == ' ') {
                fields.push_back(field);
                field.clear();
            } else {
                field += c;
            }
        }
        if (fields.size() < 13) return -1.0;
        const double ticks = std::stod(fields[11]) + std::stod(fields[12]);  // utime, stime
        return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    };
    const double cpuBefore = cpuMs();
    ::sleep(static_cast<unsigned>(seconds));
    const double cpuAfter = cpuMs();
    int writes = 0;
    char events[4096] __attribute__((aligned(__alignof__(inotify_event))));
    ssize_t n;
    while ((n = ::read(watch, events, sizeof events)) > 0) {
        for (char* p = events; p < events + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->len > 0 && std::strncmp(event->name, "QUORIXaffich.ini", 16) == 0) ++writes;
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    ::close(watch);
    std::printf("%-44s %10d s\n", "idle period", seconds);
    std::printf("%-44s %10.1f ms\n", "idle CPU time (user + system)", cpuAfter - cpuBefore);
    std::printf("%-44s %10d\n", "settings-file writes while idle", writes);
}

}  // namespace

int main(int argc, char** argv) {
    UseOffscreenUnlessChosen();
    const std::string what = argc > 1 ? argv[1] : "all";
    const int count = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
    // Qt sees only the program's name.
    int qtArgc = 1;
    if (what == "press" || what == "all") Press(qtArgc, argv, count ? count : 200);
    if (what == "child-form") StartChild(qtArgc, argv, Kind::Form, count);
    if (what == "child-bare") StartChild(qtArgc, argv, Kind::Bare, count);
    if (what == "child-labelled") StartChild(qtArgc, argv, Kind::Labelled, count);
    if (what == "startup" || what == "all") Startup(argv, count ? count : 15);
    if (what == "idle" || what == "all") Idle(count ? count : 60);
    if (what != "all" && what != "press" && what != "startup" && what != "idle" &&
        what.rfind("child-", 0) != 0) {
        std::fprintf(stderr, "usage: %s [press [N] | startup [N] | idle [SECONDS]]\n", argv[0]);
        return 2;
    }
    return 0;
}

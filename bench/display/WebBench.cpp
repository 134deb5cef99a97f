// afficheur-display --http measured as a process, printed as a table:
//   latency  from the last byte of a client message (one connection per message, as the
//            client sends it) to the update in hand at each of 10 connected viewers: median
//            and 99th percentile for the first and the last of the 10
//   memory   the display's resident memory with no viewer, then with 32 viewers following
//            a stream of updates
// Usage: bench_display [MESSAGES]   (default 1000). Loopback only, free ports.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileDescriptor.h"
#include "probe/Loopback.h"
#include "probe/Percentile.h"

namespace {

using platform::Fd;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kPatience{10000};

// The display, its stdout read by a thread of its own so that its log never fills the pipe.
class Display {
  public:
    Display() {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            // Every viewer and sender here comes from loopback, standing for as many tablets
            // and tills: the share of one address is lifted to the whole.
            const char* argv[] = {AFFICHEUR_DISPLAY,
                                  "--headless",
                                  "--log",
                                  "--listen",
                                  "127.0.0.1:0",
                                  "--http",
                                  "127.0.0.1:0",
                                  "--http-share-viewers",
                                  "32",
                                  "--http-share-connections",
                                  "64",
                                  "--share-connections",
                                  "64",
                                  nullptr};
            ::execv(AFFICHEUR_DISPLAY, const_cast<char**>(argv));
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
        display_ = PortOf(Line());
        http_ = PortOf(Line());
        drain_ = std::thread([fd = out_] {
            char chunk[65536];
            while (::read(fd, chunk, sizeof chunk) > 0) {
            }
        });
    }
    ~Display() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (drain_.joinable()) drain_.join();  // the pipe ends with the process
        if (out_ >= 0) ::close(out_);
    }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    uint16_t display() const { return display_; }
    uint16_t http() const { return http_; }

    // Resident memory in MB, from /proc.
    double ResidentMb() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string word;
        while (status >> word) {
            if (word == "VmRSS:") {
                double kb = 0;
                status >> kb;
                return kb / 1024.0;
            }
        }
        return 0;
    }

  private:
    std::string Line() {
        std::string line;
        char c;
        while (::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    static uint16_t PortOf(const std::string& line) {
        const auto key = line.find("\"address\":\"");
        if (key == std::string::npos) return 0;
        const auto end = line.find('"', key + 11);
        const std::string address = line.substr(key + 11, end - key - 11);
        return static_cast<uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
    }

    pid_t pid_ = -1;
    int out_ = -1;
    uint16_t display_ = 0;
    uint16_t http_ = 0;
    std::thread drain_;
};

// A connection to the port on loopback; not valid when it could not be made.
Fd Connect(uint16_t port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Fd();
    return fd;
}

// One stream reader; keeps only what it needs to find the next update.
struct Viewer {
    explicit Viewer(Fd connection) : fd(std::move(connection)) {}
    Fd fd;
    std::string pending;
    // Reads what is there without waiting; true once `mark` has been seen.
    bool Seen(const std::string& mark) {
        char chunk[65536];
        for (;;) {
            const auto n = ::recv(fd.get(), chunk, sizeof chunk, MSG_DONTWAIT);
            if (n <= 0) break;
            pending.append(chunk, static_cast<std::size_t>(n));
        }
        const auto at = pending.find(mark);
        if (at == std::string::npos) {
            if (pending.size() > mark.size()) pending.erase(0, pending.size() - mark.size());
            return false;
        }
        pending.erase(0, at + mark.size());
        return true;
    }
};

std::vector<std::unique_ptr<Viewer>> Follow(uint16_t port, int count) {
    std::vector<std::unique_ptr<Viewer>> viewers;
    for (int i = 0; i < count; ++i) {
        auto viewer = std::make_unique<Viewer>(Connect(port));
        const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (!viewer->fd.valid() || ::send(viewer->fd.get(), request.data(), request.size(), 0) < 0)
            break;
        const auto deadline = Clock::now() + kPatience;
        while (!viewer->Seen("}\n\n") && Clock::now() < deadline)
            ::usleep(1000);
        viewers.push_back(std::move(viewer));
    }
    return viewers;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int messages = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    Display display;
    if (display.display() == 0 || display.http() == 0) {
        std::fprintf(stderr, "bench_display: the display did not start\n");
        return 1;
    }

    // Latency to 10 viewers.
    auto viewers = Follow(display.http(), 10);
    std::vector<double> first;
    std::vector<double> last;
    int lost = 0;
    for (int i = 0; i < messages; ++i) {
        const std::string text = "Total " + std::to_string(i) + ",50 \x80";
        const std::string mark = "\"text\":\"Total " + std::to_string(i) + ",50";
        Clock::time_point sent;
        if (!probe::SendMessage(display.display(), text, 1, &sent)) {
            ++lost;
            continue;
        }
        std::vector<bool> seen(viewers.size(), false);
        std::size_t count = 0;
        const auto deadline = sent + kPatience;
        while (count < viewers.size() && Clock::now() < deadline) {
            // Waits for bytes rather than spinning: the display shares the processor.
            std::vector<pollfd> waiting;
            for (std::size_t v = 0; v < viewers.size(); ++v) {
                if (!seen[v]) waiting.push_back({viewers[v]->fd.get(), POLLIN, 0});
            }
            ::poll(waiting.data(), waiting.size(), 100);
            for (std::size_t v = 0; v < viewers.size(); ++v) {
                if (seen[v] || !viewers[v]->Seen(mark)) continue;
                seen[v] = true;
                if (++count == 1) first.push_back(Ms(Clock::now() - sent));
            }
        }
        if (count == viewers.size()) {
            last.push_back(Ms(Clock::now() - sent));
        } else {
            ++lost;
        }
    }
    std::printf("%-44s %10.3f ms\n", "web update, first of 10 viewers, median",
                probe::Percentile(first, 0.5));
    std::printf("%-44s %10.3f ms\n", "web update, all 10 viewers, median",
                probe::Percentile(last, 0.5));
    std::printf("%-44s %10.3f ms\n", "web update, all 10 viewers, p99",
                probe::Percentile(last, 0.99));
    std::printf("%-44s %10d of %d\n", "web updates not seen by all within 10 s", lost, messages);
    viewers.clear();

    // Memory: none, then 32 viewers through 200 updates of a long text.
    ::usleep(200000);
    const double alone = display.ResidentMb();
    auto many = Follow(display.http(), 32);
    for (int i = 0; i < 200; ++i) {
        Clock::time_point sent;
        probe::SendMessage(display.display(),
                           "\xFF"
                           "1" +
                               std::string(2000, 'a' + i % 26),
                           1, &sent);
        for (auto& viewer : many)
            viewer->Seen("\n\n");
    }
    ::usleep(500000);
    for (auto& viewer : many)
        viewer->Seen("\n\n");
    const double with32 = display.ResidentMb();
    std::printf("%-44s %10.1f MB\n", "web memory, no viewer", alone);
    std::printf("%-44s %10.1f MB\n", "web memory, 32 viewers", with32);
    std::printf("%-44s %10zu\n", "web viewers connected for the memory figure", many.size());
    return 0;
}

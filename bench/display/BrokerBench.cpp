// afficheur-display --mqtt measured as processes, printed as lines of a table: one local
// mosquitto, DISPLAYS headless displays (default 50) that share a group, and for each of
// ROUNDS group messages (default 200) the time from handing the message to the broker (QoS 1)
// to its board's update in hand at the first and at the last display's page (/events):
// median and 99th percentile; then the CPU time the broker and the displays spent over the
// rounds. Usage: bench_mqtt [DISPLAYS [ROUNDS]]. Loopback only, free ports; mosquitto must be
// installed.

#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "probe/Loopback.h"
#include "probe/Percentile.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kPatience{30000};

double MsSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// One child process, ended (SIGTERM, then waited for) when destroyed; its stdout on a pipe,
// its stderr dropped.
class Child {
  public:
    explicit Child(std::vector<std::string> argv) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            // Their connection lines would drown the table.
            const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            if (quiet >= 0) ::dup2(quiet, STDERR_FILENO);
            std::vector<char*> args;
            for (auto& arg : argv)
                args.push_back(arg.data());
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line of its stdout; empty when it ends first.
    std::string Line() {
        std::string line;
        char c;
        while (::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // User and system CPU time so far, in seconds, from /proc.
    double CpuSeconds() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
        }
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

uint16_t PortOf(const std::string& line) {
    const auto key = line.find("\"address\":\"");
    if (key == std::string::npos) return 0;
    const auto end = line.find('"', key + 11);
    const std::string address = line.substr(key + 11, end - key - 11);
    return static_cast<uint16_t>(std::atoi(address.substr(address.rfind(':') + 1).c_str()));
}

// A page's event stream, read as it comes.
struct Viewer {
    int fd = -1;
    std::string seen;
    ~Viewer() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads whatever the viewers have within until, and the times each first shows marker.
void WaitFor(std::vector<std::unique_ptr<Viewer>>& viewers, const std::string& marker,
             std::vector<Clock::time_point>& at, Clock::time_point until) {
    std::size_t left = 0;
    for (std::size_t i = 0; i < viewers.size(); ++i)
        left += at[i] == Clock::time_point{} ? 1 : 0;
    std::vector<pollfd> polls;
    while (left > 0 && Clock::now() < until) {
        polls.clear();
        for (const auto& viewer : viewers)
            polls.push_back({viewer->fd, POLLIN, 0});
        if (::poll(polls.data(), polls.size(), 100) <= 0) continue;
        const auto now = Clock::now();
        for (std::size_t i = 0; i < viewers.size(); ++i) {
            if (!(polls[i].revents & POLLIN)) continue;
            char chunk[65536];
            const auto n = ::recv(viewers[i]->fd, chunk, sizeof chunk, 0);
            if (n <= 0) continue;
            std::string& seen = viewers[i]->seen;
            seen.append(chunk, static_cast<std::size_t>(n));
            if (at[i] == Clock::time_point{} && seen.find(marker) != std::string::npos) {
                at[i] = now;
                seen.clear();
                --left;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int displays = argc > 1 ? std::atoi(argv[1]) : 50;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 200;
    if (displays < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_mqtt [DISPLAYS [ROUNDS]]\n");
        return 2;
    }

    // The broker, on a free port, anonymous, in a folder of its own.
    const auto folder = std::filesystem::temp_directory_path() /
                        ("afficheur-bench-mqtt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    uint16_t port = 0;
    ::close(probe::ListenOnLoopback(&port));
    {
        std::ofstream conf(folder / "mosquitto.conf");
        conf << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
             << "persistence false\n";
    }
    auto broker = std::make_unique<Child>(
        std::vector<std::string>{"mosquitto", "-c", (folder / "mosquitto.conf").string()});
    for (const auto until = Clock::now() + kPatience; Clock::now() < until;) {
        if (probe::SendMessage(port, "")) break;
        std::this_thread::sleep_for(milliseconds(50));
    }

    // The displays, each with its page, all in the group bench/all.
    std::vector<std::unique_ptr<Child>> children;
    std::vector<std::unique_ptr<Viewer>> viewers;
    const std::string url = "mqtt://127.0.0.1:" + std::to_string(port);
    for (int i = 0; i < displays; ++i) {
        auto& child = children.emplace_back(std::make_unique<Child>(std::vector<std::string>{
            AFFICHEUR_DISPLAY, "--headless", "--log", "--listen", "127.0.0.1:0", "--http",
            "127.0.0.1:0", "--mqtt", url, "--mqtt-topic", "bench/d" + std::to_string(i),
            "--mqtt-group", "bench/all"}));
        child->Line();  // where it listens
        const uint16_t http = PortOf(child->Line());
        auto viewer = std::make_unique<Viewer>();
        viewer->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in to = probe::Loopback(http);
        if (::connect(viewer->fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            std::fprintf(stderr, "display %d: no page\n", i);
            return 1;
        }
        const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        ::send(viewer->fd, request.data(), request.size(), MSG_NOSIGNAL);
        viewers.push_back(std::move(viewer));
    }

    // The till: one client, QoS 1.
    mosquitto_lib_init();
    mosquitto* till = mosquitto_new("bench-till", true, nullptr);
    if (till == nullptr || mosquitto_connect(till, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(till) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "the bench's client cannot reach mosquitto on %u\n", port);
        return 1;
    }
    const auto publish = [&](const std::string& text) {
        const std::string payload = "{\"text\":\"" + text + "\"}";
        mosquitto_publish(till, nullptr, "bench/all/set", static_cast<int>(payload.size()),
                          payload.data(), 1, false);
    };

    // Until every display is connected: the warm-up message again every second.
    {
        std::vector<Clock::time_point> at(viewers.size());
        const auto until = Clock::now() + kPatience;
        while (Clock::now() < until && std::count(at.begin(), at.end(), Clock::time_point{}) > 0) {
            publish("warm-up");
            WaitFor(viewers, "\"text\":\"warm-up\"", at, Clock::now() + milliseconds(1000));
        }
        if (std::count(at.begin(), at.end(), Clock::time_point{}) > 0) {
            std::fprintf(stderr, "not every display took the warm-up message\n");
            return 1;
        }
    }

    const auto cpu = [&] {
        double sum = 0;
        for (const auto& child : children)
            sum += child->CpuSeconds();
        return sum;
    };
    const double brokerBefore = broker->CpuSeconds();
    const double displaysBefore = cpu();
    const auto start = Clock::now();
    std::vector<double> first, last;
    int lost = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<Clock::time_point> at(viewers.size());
        const std::string text = "round " + std::to_string(round);
        const auto sent = Clock::now();
        publish(text);
        WaitFor(viewers, "\"text\":\"" + text + "\"", at, sent + milliseconds(5000));
        if (std::count(at.begin(), at.end(), Clock::time_point{}) > 0) {
            ++lost;
            continue;
        }
        first.push_back(MsSince(sent, *std::min_element(at.begin(), at.end())));
        last.push_back(MsSince(sent, *std::max_element(at.begin(), at.end())));
        std::this_thread::sleep_for(milliseconds(20));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double brokerCpu = broker->CpuSeconds() - brokerBefore;
    const double displaysCpu = cpu() - displaysBefore;

    mosquitto_loop_stop(till, true);
    mosquitto_destroy(till);
    mosquitto_lib_cleanup();
    viewers.clear();
    children.clear();
    broker.reset();
    std::filesystem::remove_all(folder);

    std::printf("Group message to %d displays' pages, first display: %.2f ms (p99 %.2f ms)\n",
                displays, probe::Percentile(first, 0.5), probe::Percentile(first, 0.99));
    std::printf(
        "Group message to %d displays' pages, last display: %.2f ms (p99 %.2f ms), "
        "%d of %d rounds lost\n",
        displays, probe::Percentile(last, 0.5), probe::Percentile(last, 0.99), lost, rounds);
    std::printf(
        "CPU over %d rounds in %.1f s: broker %.2f s (%.1f %% of a core), %d displays "
        "%.2f s (%.1f %% of a core; %.1f ms a display a round)\n",
        rounds, wall, brokerCpu, 100 * brokerCpu / wall, displays, displaysCpu,
        100 * displaysCpu / wall, 1000 * displaysCpu / displays / rounds);
    return lost == 0 ? 0 : 1;
}

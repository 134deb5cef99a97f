#include "QuitOnSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <csignal>

namespace display {

namespace {

// The write end for the handler: a signal handler can reach nothing else.
volatile std::sig_atomic_t gWriteEnd = -1;

extern "C" void WakeEventLoop(int) {
    const int fd = gWriteEnd;
    if (fd < 0) return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
}

}  // namespace

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    gWriteEnd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(fds_[1], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = WakeEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    gWriteEnd = -1;
    notifier_.reset();
    for (const int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

}  // namespace display

// POSIX standard input.
#include "StandardInput.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sender {

std::string ReadStandardInput(std::size_t limit) {
    std::string input;
    char buffer[65536];
    while (input.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - input.size());
        const ssize_t got = ::read(STDIN_FILENO, buffer, want);
        if (got > 0) {
            input.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd entry{STDIN_FILENO, POLLIN, 0};  // an input left non-blocking by its owner
            ::poll(&entry, 1, -1);
        } else {
            break;
        }
    }
    return input;
}

}  // namespace sender

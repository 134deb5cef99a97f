#include "platform/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

bool Fd::Close() {
    return ::close(release()) == 0;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {  // no progress and no reason: never loop on it
            errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace platform

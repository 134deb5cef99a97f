#pragma once
// The owner of a POSIX file descriptor, and a write that goes on until all is written. Used
// wherever the platform layer and the tools write files through descriptors (atomic replaces,
// .reg exports). POSIX only.

#include <string_view>
#include <utility>

namespace platform {

// An open file descriptor (or -1), closed when it goes out of scope. Movable, not copyable.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ~Fd();
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    // Closes now and says whether the close succeeded (errno tells why not); a write error
    // that the system reports only at close shows here.
    bool Close();

  private:
    int fd_;
};

// Writes all of data to fd, going on after short writes and interrupted calls. False (errno
// set) when a write fails or makes no progress.
bool WriteAll(int fd, std::string_view data);

}  // namespace platform

#pragma once
// The sockets of a test's stand-ins on 127.0.0.1, the same on Linux and Windows (Loopback.cpp
// with POSIX sockets, Loopback_win.cpp with Winsock). Non-blocking; child processes never
// inherit them, so a program the test runs cannot keep one of its connections open.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace loopback {

// What a call did.
struct Io {
    std::size_t bytes = 0;
    bool end = false;     // Receive: the peer closed its side
    bool later = false;   // nothing now: wait and call again
    bool failed = false;  // the connection is gone
};

struct Readiness {
    bool readable = false;  // also when the connection has failed: a receive then tells
    bool writable = false;
};

// A listener, or a connection it accepted; closed when it goes away. Movable, not copyable.
class Socket {
  public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A listener on 127.0.0.1 at a port the system picks; invalid if there is none.
    static Socket Listen();

    bool valid() const { return handle_ != kNone; }
    // A listener's port.
    int port() const;
    // A connection that comes within ms; invalid when none does.
    Socket Accept(int ms);
    // What the connection is ready for within ms, of what is asked.
    Readiness Wait(bool read, bool write, int ms);
    Io Receive(char* buffer, std::size_t size);
    Io Send(std::string_view bytes);

  private:
    static constexpr std::intptr_t kNone = -1;
    explicit Socket(std::intptr_t handle) : handle_(handle) {}
    void Close();
    std::intptr_t handle_ = kNone;  // a file descriptor, or a Winsock SOCKET
};

// A loopback port where nothing listens: one that was just free (bound, then closed).
int FreePort();

}  // namespace loopback

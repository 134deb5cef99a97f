#pragma once
// The socket calls afficheur-send makes, with the same names and results on every system:
// POSIX sockets in Socket.cpp, Winsock in Socket_win.cpp. Everything above this file (the
// deadline, the order of the steps, what counts as delivered) is the same on both.
//
// A socket here is a non-blocking TCP socket that child processes do not inherit. Errors are
// the system's codes (errno, or Winsock's WSAGetLastError()), put into words by ErrorText.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sender::net {

// A system error code; 0 for none.
using Error = int;

// Gets the system's sockets ready for this process (Winsock's WSAStartup, once; nothing on
// POSIX). Empty when they are, else why not.
std::string Start();

// The words for an error, the same on every system, as the client's log has them:
// "Connection refused", "Network is unreachable".
std::string ErrorText(Error error);

// One address that a host name stands for.
struct Address {
    int family = 0;
    int type = 0;
    int protocol = 0;
    std::string bytes;  // the system's socket address (sockaddr_in, sockaddr_in6)
};

// The TCP addresses of host and port in the order the system gives them, or why there are
// none, in the words of the client's log ("Host not found: Name or service not known").
std::variant<std::vector<Address>, std::string> Lookup(const std::string& host, int port);

// What a call on a non-blocking socket did.
struct Outcome {
    std::size_t bytes = 0;  // sent or received
    bool later = false;     // nothing now (in progress, would block, interrupted): wait, call again
    Error error = 0;
};

enum class Wait { Ready, TimedOut, Interrupted };

class Socket {
  public:
    // A socket for the address's family; valid() tells whether the system gave one, and
    // error() why not.
    explicit Socket(const Address& address);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return handle_ != kNone; }
    Error error() const { return error_; }

    // Starts connecting: done, later (wait until writable, then ConnectResult) or an error.
    Outcome Connect(const Address& address);
    // Once a connection in progress is writable: 0 when it is made, else why not.
    Error ConnectResult();
    // Waits up to ms milliseconds until the socket can be read (or written). Ready also when
    // the socket has failed: the next call on it tells how.
    Wait WaitUntil(bool writable, int ms);
    // Writes what the system takes of bytes now; never raises a signal for a closed peer.
    Outcome Send(std::string_view bytes);
    // Reads what has come, up to size bytes; 0 bytes with neither later nor an error: the
    // peer closed its side.
    Outcome Receive(char* buffer, std::size_t size);
    // Closes our sending side: the peer reads the end of the data.
    Error ShutdownSending();

  private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;  // a file descriptor, or a Winsock SOCKET
    Error error_ = 0;
};

}  // namespace sender::net

// Winsock. Waits use select(), which reports a connection refused or reset in its exception
// set; WSAPoll misses a failed connect on older systems and would wait out the deadline.
#include <winsock2.h>
#include <ws2tcpip.h>
// After <winsock2.h>, which must come before <windows.h>.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "Socket.h"
#include "platform/SystemError.h"

namespace sender::net {

namespace {

SOCKET Native(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

int Length(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

bool NotNow(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}

Outcome Done(int bytes) {
    if (bytes != SOCKET_ERROR) return {static_cast<std::size_t>(bytes), false, 0};
    const int error = ::WSAGetLastError();
    if (NotNow(error)) return {0, true, 0};
    return {0, false, error};
}

struct Words {
    int error;
    const char* text;
};

// The errors a delivery meets, in the words Linux has for them, so that a till's log reads
// the same on both systems.
constexpr Words kWords[] = {
    {WSAECONNREFUSED, "Connection refused"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAECONNABORTED, "Software caused connection abort"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAENETDOWN, "Network is down"},
    {WSAENETRESET, "Network dropped connection on reset"},
    {WSAEADDRNOTAVAIL, "Cannot assign requested address"},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol"},
    {WSAEACCES, "Permission denied"},
    {WSAEMFILE, "Too many open files"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAENOTCONN, "Transport endpoint is not connected"},
    {WSAESHUTDOWN, "Cannot send after transport endpoint shutdown"},
    {WSAHOST_NOT_FOUND, "Name or service not known"},
    {WSATRY_AGAIN, "Temporary failure in name resolution"},
    {WSANO_RECOVERY, "Non-recoverable failure in name resolution"},
    {WSANO_DATA, "No address associated with hostname"},
};

}  // namespace

std::string Start() {
    static const std::string started = [] {
        WSADATA data;
        const int error = ::WSAStartup(MAKEWORD(2, 2), &data);
        return error == 0 ? std::string()
                          : "the system's sockets did not start: " + ErrorText(error);
    }();
    return started;
}

std::string ErrorText(Error error) {
    for (const Words& words : kWords) {
        if (words.error == error) return words.text;
    }
    return platform::SystemErrorText(error);
}

std::variant<std::vector<Address>, std::string> Lookup(const std::string& host, int port) {
    // No AI_ADDRCONFIG: Windows would then find nothing for a display on loopback whenever the
    // till has no network of its own.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int lookup = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (lookup != 0) return "Host not found: " + ErrorText(lookup);
    std::vector<Address> addresses;
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        addresses.push_back({at->ai_family, at->ai_socktype, at->ai_protocol,
                             std::string(reinterpret_cast<const char*>(at->ai_addr),
                                         static_cast<std::size_t>(at->ai_addrlen))});
    }
    ::freeaddrinfo(found);
    return addresses;
}

Socket::Socket(const Address& address) {
    const SOCKET socket = ::WSASocketW(address.family, address.type, address.protocol, nullptr, 0,
                                       WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        error_ = ::WSAGetLastError();
        return;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        error_ = ::WSAGetLastError();
        ::closesocket(socket);
        return;
    }
    handle_ = static_cast<std::intptr_t>(socket);
}

Socket::~Socket() {
    if (valid()) ::closesocket(Native(handle_));
}

Outcome Socket::Connect(const Address& address) {
    const auto* name = reinterpret_cast<const sockaddr*>(address.bytes.data());
    if (::connect(Native(handle_), name, Length(address.bytes.size())) == 0) return {};
    const int error = ::WSAGetLastError();
    if (NotNow(error)) return {0, true, 0};
    return {0, false, error};
}

Error Socket::ConnectResult() {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(Native(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &length) != 0) {
        return ::WSAGetLastError();
    }
    return error;
}

Wait Socket::WaitUntil(bool writable, int ms) {
    fd_set wanted;
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(Native(handle_), &wanted);
    FD_SET(Native(handle_), &failed);
    timeval timeout{ms / 1000, (ms % 1000) * 1000};
    const int ready =
        ::select(0, writable ? nullptr : &wanted, writable ? &wanted : nullptr, &failed, &timeout);
    if (ready > 0) return Wait::Ready;
    if (ready == 0) return Wait::TimedOut;
    return ::WSAGetLastError() == WSAEINTR ? Wait::Interrupted : Wait::Ready;
}

Outcome Socket::Send(std::string_view bytes) {
    return Done(::send(Native(handle_), bytes.data(), Length(bytes.size()), 0));
}

Outcome Socket::Receive(char* buffer, std::size_t size) {
    return Done(::recv(Native(handle_), buffer, Length(size), 0));
}

Error Socket::ShutdownSending() {
    return ::shutdown(Native(handle_), SD_SEND) == 0 ? 0 : ::WSAGetLastError();
}

}  // namespace sender::net

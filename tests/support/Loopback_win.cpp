// Winsock. A test's sockets are made without handle inheritance: a program it starts
// meanwhile would otherwise hold a stand-in's connection open after the stand-in closed it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "support/Loopback.h"

namespace loopback {

namespace {

SOCKET Native(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

bool Started() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

Io Done(int bytes, bool receiving) {
    if (bytes > 0) return {static_cast<std::size_t>(bytes), false, false, false};
    if (bytes == 0) return {0, receiving, false, false};
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR) return {0, false, true, false};
    return {0, false, false, true};
}

bool NonBlocking(SOCKET socket) {
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

int BoundPort(SOCKET socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

SOCKET LoopbackSocket(bool listening) {
    if (!Started()) return INVALID_SOCKET;
    const SOCKET socket =
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) return socket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!NonBlocking(socket) ||
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(socket, 16) != 0)) {
        ::closesocket(socket);
        return INVALID_SOCKET;
    }
    return socket;
}

}  // namespace

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

void Socket::Close() {
    if (valid()) ::closesocket(Native(std::exchange(handle_, kNone)));
}

Socket Socket::Listen() {
    const SOCKET socket = LoopbackSocket(true);
    return socket == INVALID_SOCKET ? Socket() : Socket(static_cast<std::intptr_t>(socket));
}

int Socket::port() const {
    return BoundPort(Native(handle_));
}

Socket Socket::Accept(int ms) {
    if (!Wait(true, false, ms).readable) return {};
    const SOCKET socket = ::accept(Native(handle_), nullptr, nullptr);
    if (socket == INVALID_SOCKET) return {};
    Socket accepted(static_cast<std::intptr_t>(socket));
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    if (!NonBlocking(socket)) return {};
    return accepted;
}

Readiness Socket::Wait(bool read, bool write, int ms) {
    fd_set readable;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (read) FD_SET(Native(handle_), &readable);
    if (write) FD_SET(Native(handle_), &writable);
    FD_SET(Native(handle_), &failed);
    timeval timeout{ms / 1000, (ms % 1000) * 1000};
    if (::select(0, &readable, &writable, &failed, &timeout) <= 0) return {};
    return {FD_ISSET(Native(handle_), &readable) != 0 || FD_ISSET(Native(handle_), &failed) != 0,
            FD_ISSET(Native(handle_), &writable) != 0};
}

Io Socket::Receive(char* buffer, std::size_t size) {
    const int length = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    return Done(::recv(Native(handle_), buffer, length, 0), true);
}

Io Socket::Send(std::string_view bytes) {
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    return Done(::send(Native(handle_), bytes.data(), length, 0), false);
}

int FreePort() {
    const SOCKET socket = LoopbackSocket(false);
    if (socket == INVALID_SOCKET) return 0;
    const int port = BoundPort(socket);
    ::closesocket(socket);
    return port;
}

}  // namespace loopback

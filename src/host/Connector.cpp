#include "host/Connector.h"

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "host/EventProcedure.h"

namespace host {
namespace {

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The interface index of an IPv6 scope, given by number ("%2") or by name ("%eth0"); 0 for
// no scope; nullopt for a name that no interface has.
std::optional<uint32_t> ScopeIndex(const QString& scope) {
    if (scope.isEmpty()) return 0;
    bool numeric = false;
    const uint index = scope.toUInt(&numeric);
    if (numeric) return index;
    const uint named = ::if_nametoindex(scope.toLocal8Bit().constData());
    if (named == 0) return std::nullopt;
    return named;
}

// The socket address of addr:port; on failure, why it has none (neither IPv4 nor IPv6, or an
// IPv6 scope naming no interface) and an empty text on success.
QString SocketAddress(const QHostAddress& addr, quint16 port, sockaddr_storage* out,
                      socklen_t* length) {
    std::memset(out, 0, sizeof *out);
    if (addr.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in4 = reinterpret_cast<sockaddr_in*>(out);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(addr.toIPv4Address());
        *length = sizeof *in4;
        return {};
    }
    if (addr.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = addr.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        const auto scope = ScopeIndex(addr.scopeId());
        if (!scope) return QStringLiteral("no network interface named %1").arg(addr.scopeId());
        in6->sin6_scope_id = *scope;
        *length = sizeof *in6;
        return {};
    }
    return QStringLiteral("no usable address");
}

}  // namespace

Connector::Connector(Connected connected, Failed failed)
    : connected_(std::move(connected)), failed_(std::move(failed)) {}

Connector::~Connector() {
    writable_.reset();
    CloseSocket();
}

void Connector::Cancel() {
    cancelled_ = true;
    if (writable_) {
        writable_->setEnabled(false);
        writable_.release()->deleteLater();  // may be running its own signal right now
    }
    CloseSocket();
}

void Connector::Start(const QString& host, quint16 port) {
    port_ = port;
    QHostAddress literal;
    if (literal.setAddress(host)) {
        addresses_ = {literal};
        TryNextAddress();
        return;
    }
    QHostInfo::lookupHost(host, &context_, [this](const QHostInfo& info) {
        RunEventProcedure("W", [&] { Resolved(info); });
    });
}

void Connector::Resolved(const QHostInfo& info) {
    if (cancelled_) return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        failed_(QStringLiteral("host not found (%1)").arg(info.errorString()));
        return;
    }
    addresses_ = info.addresses();
    TryNextAddress();
}

void Connector::TryNextAddress() {
    while (next_ < addresses_.size()) {
        sockaddr_storage address{};
        socklen_t length = 0;
        if (const QString problem = SocketAddress(addresses_[next_++], port_, &address, &length);
            !problem.isEmpty()) {
            lastFailure_ = problem;
            continue;
        }
        descriptor_ = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (descriptor_ < 0) {
            lastFailure_ = ErrnoText(errno);
            continue;
        }
        if (::connect(descriptor_, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            CheckOutcome();
            return;
        }
        if (errno == EINPROGRESS) {
            writable_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Write);
            QObject::connect(writable_.get(), &QSocketNotifier::activated, &context_,
                             [this] { RunEventProcedure("W", [this] { CheckOutcome(); }); });
            return;
        }
        lastFailure_ = ErrnoText(errno);
        CloseSocket();
    }
    failed_(lastFailure_.isEmpty() ? QStringLiteral("no usable address") : lastFailure_);
}

void Connector::CheckOutcome() {
    // The notifier must not fire again, and must go before its socket does.
    if (writable_) {
        writable_->setEnabled(false);
        writable_.release()->deleteLater();  // running its own signal right now
    }
    if (cancelled_) return;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(descriptor_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) {
        const int descriptor = std::exchange(descriptor_, -1);
        connected_(descriptor);
        return;
    }
    lastFailure_ = ErrnoText(error);
    CloseSocket();
    TryNextAddress();
}

void Connector::CloseSocket() {
    if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

}  // namespace host

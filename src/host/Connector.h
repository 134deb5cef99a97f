#pragma once
// Opens one TCP connection without blocking the event loop, for the display link.
//
// The host name is looked up asynchronously; each address is tried in turn with a
// non-blocking connect(), whose outcome is read once from the socket (SO_ERROR) when it
// becomes writable. A connection is never attempted twice on one socket: a display that
// accepts and at once resets gives one connection and one failure, not a stream of new
// connections. On success the connected socket descriptor is handed over and belongs to the
// receiver from then on; on failure the reason is given in words. Exactly one of the two
// callbacks runs, once, unless Cancel or the destructor comes first. A callback may call
// Cancel, but must not destroy the connector. User-interface thread only.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QHostInfo;
class QSocketNotifier;

namespace host {

class Connector final {
  public:
    using Connected = std::function<void(qintptr descriptor)>;
    using Failed = std::function<void(const QString& reason)>;

    Connector(Connected connected, Failed failed);
    ~Connector();
    Connector(const Connector&) = delete;
    Connector& operator=(const Connector&) = delete;

    // Starts connecting to host:port; returns at once.
    void Start(const QString& host, quint16 port);
    // Gives up: closes the socket, and no callback runs from now on.
    void Cancel();

  private:
    void Resolved(const QHostInfo& info);
    void TryNextAddress();
    void CheckOutcome();
    void CloseSocket();

    Connected connected_;
    Failed failed_;
    QObject context_;  // scopes the lookup and the notifier to this connector
    quint16 port_ = 0;
    QList<QHostAddress> addresses_;
    qsizetype next_ = 0;
    int descriptor_ = -1;
    std::unique_ptr<QSocketNotifier> writable_;
    QString lastFailure_;
    bool cancelled_ = false;
};

}  // namespace host

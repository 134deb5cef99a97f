#pragma once
// Tells the service manager how the display is doing, when one started it as a notify service
// (systemd's Type=notify, NOTIFY_SOCKET set): ready once made (after the listening sockets are
// open), a watchdog ping from the event loop at half the interval the manager asks for
// (WATCHDOG_USEC), so that a hung loop gets the display restarted, and stopping when it ends.
// Without a service manager it does nothing. Lives on the thread that runs the event loop.

#include <QObject>
#include <QString>
#include <QTimer>

namespace display {

class ServiceNotifier : public QObject {
    Q_OBJECT

  public:
    // Says ready, with status as the one-line state the manager shows.
    explicit ServiceNotifier(const QString& status, QObject* parent = nullptr);
    ~ServiceNotifier() override;
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

  private:
    QTimer watchdog_;
};

}  // namespace display

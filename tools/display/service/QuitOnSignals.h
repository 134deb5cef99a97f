#pragma once
// Turns SIGTERM and SIGINT into a quit of the Qt event loop, so that the program ends through
// its own exit path (the board saved, the outputs closed) instead of dying where it stands.
// The handler only writes one byte to a socket pair; the event loop reads it. One per
// program, made before the event loop runs.

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace display {

class QuitOnSignals : public QObject {
    Q_OBJECT

  public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override;
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

  private:
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace display

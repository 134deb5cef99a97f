#pragma once
// When the window shows the display page's address for a tablet to open it: from the start
// until a first page follows the display, and again for a minute each time the till asks
// (afficheur-send --pair), ended early by the next page that begins to follow. Only while the
// page is served to the network and this machine has an address for it. Lives on the thread
// that made it; it decides, the window draws (BoardWindow::ShowPairing).

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>

namespace display {

// The address a tablet is shown among the page's candidates (WebServer::NetworkUrls): a
// private IPv4 address first (192.168/16, then 10/8, then 172.16/12, where container bridges
// usually sit), then any other IPv4 address, then the first; empty when there is none.
QString PairingUrl(const QStringList& candidates);

class PairingInvite : public QObject {
    Q_OBJECT

  public:
    using Candidates = std::function<QStringList()>;
    using Show = std::function<void(const QString& url)>;

    // candidates gives the page's addresses (empty: not served to the network, or no address
    // yet), asked again every refresh while the address shows or is awaited; show is told the
    // address to show, or empty, at each change.
    PairingInvite(Candidates candidates, Show show,
                  std::chrono::milliseconds minute = std::chrono::minutes(1),
                  std::chrono::milliseconds refresh = std::chrono::seconds(10),
                  QObject* parent = nullptr);

    // The till asks: the address shows for a minute from now.
    void Ask();
    // The page's followers now: one more than before ends the showing.
    void Viewers(int count);

    // The address shown now, or empty.
    const QString& shown() const { return shown_; }

  private:
    void Update();

    Candidates candidates_;
    Show show_;
    QTimer minute_;
    QTimer refresh_;
    bool followed_ = false;  // a page followed once: the start's showing is over
    int viewers_ = 0;
    QString shown_;
};

}  // namespace display

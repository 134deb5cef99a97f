#pragma once
// afficheur-display once its options are read: the board, where its changes come from (the
// receiver, a followed display's page, an MQTT broker) and the outputs that show it. A new kind of
// output is a factory of its own and one row of MakeOutputs' table.

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "PageAnnouncement.h"
#include "PairingInvite.h"
#include "board/BoardKeeper.h"
#include "board/BoardView.h"
#include "input/BoardFollower.h"
#include "input/Receiver.h"
#include "input/Report.h"
#include "mqtt/BrokerLink.h"
#include "options/DisplayOptions.h"
#include "pictures/PictureShelf.h"
#include "service/ServiceNotifier.h"

namespace display {

class BoardWindow;
class WebServer;

class DisplayProgram {
  public:
    explicit DisplayProgram(DisplayOptions options);
    ~DisplayProgram();
    DisplayProgram(const DisplayProgram&) = delete;
    DisplayProgram& operator=(const DisplayProgram&) = delete;

    // Listens, starts every output and shows the board: 0. Otherwise the program's exit status,
    // with a line on stderr: 2 when the state file cannot be kept safely, 1 when it cannot
    // listen or serve the page.
    int Start();

    // On the way out: the board is saved.
    void Stop();

  private:
    bool StartInput();
    // Starts reading the shop's logo and pictures, when the options name any.
    void StartPictures();
    bool MakeOutputs();
    // One kind of output each: the outputs of that kind the options ask for, made and added
    // (none when they ask for none); false, with a line on stderr, when one cannot start.
    bool MakePage();
    bool MakeWindow();
    bool MakeCharacterDisplays();
    bool MakeBrokerLink();
    // While the page serves the network, the window shows its address for a tablet
    // (PairingInvite).
    void InvitePairing(BoardWindow& window);
    // Once the page listens on a network address, announces it over DNS-SD.
    void AnnouncePage(const WebServer& page);
    // Calls listen (which says whether the address is missing); when the address is not yet
    // this machine's, tries again every 2 s until it is, with one line on stderr. Then calls
    // listening. False, with a line on stderr, for a fault a wait cannot cure (a port taken).
    bool ListenOrWait(const QString& option, const ListenAddress& where,
                      std::function<bool(QString*, bool*)> listen, std::function<void()> listening);
    void Received(const Reception& reception);
    QString Source() const;
    void WriteLog(const QByteArray& line);

    DisplayOptions options_;
    BoardKeeper keeper_;
    std::unique_ptr<Receiver> receiver_;
    std::unique_ptr<BoardFollower> follower_;
    std::vector<std::unique_ptr<BoardView>> outputs_;
    WebServer* page_ = nullptr;  // one of outputs_, with --http
    std::unique_ptr<PairingInvite> pairing_;
    std::unique_ptr<PageAnnouncement> announcement_;  // a view of the keeper's
    std::unique_ptr<PictureShelf> pictures_;
    NoteLines notes_;
    LoggedRefusals loggedRefusals_;
    std::unique_ptr<ServiceNotifier> serviceManager_;
    std::vector<std::unique_ptr<QTimer>> retries_;  // addresses waited for
    bool logging_ = false;
};

}  // namespace display

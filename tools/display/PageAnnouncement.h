#pragma once
// The display page announced on the local network (DNS-SD, through Avahi: DnsSdService) while
// it is served to the network: named after the register ("Afficheur Caisse 1"), or after this
// machine while the register has no name, and renamed when the register's name changes. A view
// of the board for its name alone; on the interface and the IP version the page listens on.
// Lives on the thread that made it.

#include <QString>

#include <string>

#include "board/BoardView.h"
#include "dnssd/DnsSdService.h"

namespace display {

class WebServer;

class PageAnnouncement : public BoardView {
  public:
    // Announces page, which must listen on a network address (WebServer::ServesNetwork).
    PageAnnouncement(const WebServer& page, std::string hostName);

    void Show(const Board& board) override;
    OutputState Health() const override;

  private:
    std::string hostName_;
    std::string name_;
    std::string address_;
    DnsSdService service_;
};

}  // namespace display

#pragma once
// The display page announced on the local network over DNS-SD (multicast DNS), through the
// Avahi daemon's client library, so that a tablet's browser or a shop's tools find it by name:
// one _http._tcp service with TXT "path=/", withdrawn when the object goes.
//
// Avahi's threaded poll runs the client on a thread of its own; every call here takes its lock.
// When the daemon is not running (or goes away), one line on stderr says so and the service is
// announced as soon as the daemon starts; nothing fails towards the caller. A name that another
// service on the network already holds becomes Avahi's alternative ("NAME #2"). Plain C++ on
// libavahi-client; not copyable, not movable.

#include <cstdint>
#include <memory>
#include <string>

namespace display {

class DnsSdService {
  public:
    // Where and under which name the page is announced. interfaceIndex: the network interface
    // the page listens on (-1: every interface); ipv4Only: the page listens on IPv4 alone.
    struct Announcement {
        std::string name;  // "Afficheur Caisse 1"
        std::uint16_t port = 0;
        int interfaceIndex = -1;
        bool ipv4Only = false;
    };

    // Starts announcing (on Avahi's thread); a line on stderr when that cannot even begin.
    explicit DnsSdService(Announcement announcement);
    // Withdraws the service and ends Avahi's thread.
    ~DnsSdService();
    DnsSdService(const DnsSdService&) = delete;
    DnsSdService& operator=(const DnsSdService&) = delete;

    // Announces the page under name from now on (nothing when it is the name already).
    void Rename(const std::string& name);

    struct Avahi;  // the client's state, shared with Avahi's callbacks

  private:
    std::unique_ptr<Avahi> avahi_;
};

// The service's name for a register's name: "Afficheur Caisse 1", or "Afficheur HOSTNAME" when
// the register has no name; cut to the 63 bytes a DNS label holds, on a UTF-8 boundary.
std::string ServiceNameFor(const std::string& registerName, const std::string& hostName);

}  // namespace display

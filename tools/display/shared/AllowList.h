#pragma once
// The networks a listener takes connections from (--allow for messages, --http-allow for the
// web page's viewers).

#include <QHostAddress>
#include <QString>

#include <utility>
#include <vector>

namespace display {

// The networks connections may come from. Empty, it lets every address in.
class AllowList {
  public:
    // Adds a network written ADDR/PREFIX, or an address alone (as /32 or /128). An IPv4
    // address is written as Ipv4Text.h says. An
    // IPv4-mapped IPv6 network (::ffff:192.168.1.0/120) is the IPv4 one. Returns what is wrong
    // with text, or an empty string once it is added.
    QString Add(const QString& text);

    // An IPv4 peer seen by a dual-stack listener (::ffff:192.168.1.10) is the IPv4 one.
    bool Allows(const QHostAddress& peer) const;

    bool empty() const { return networks_.empty(); }

  private:
    std::vector<std::pair<QHostAddress, int>> networks_;  // with their prefix lengths
};

}  // namespace display

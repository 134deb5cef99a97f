#include "PageAnnouncement.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <utility>

#include "web/WebServer.h"

namespace display {

namespace {

// Where the page listens, as Avahi wants it: the interface that holds its address (-1 for a
// page on every address), and whether it listens on IPv4 alone.
DnsSdService::Announcement Where(const WebServer& page, std::string name) {
    DnsSdService::Announcement where;
    where.name = std::move(name);
    where.port = page.ListenedPort();
    const QHostAddress bound = page.ListenedAddress();
    where.ipv4Only =
        bound == QHostAddress::AnyIPv4 ||
        (bound.protocol() == QAbstractSocket::IPv4Protocol && bound != QHostAddress::Any);
    if (bound == QHostAddress::Any || bound == QHostAddress::AnyIPv4 ||
        bound == QHostAddress::AnyIPv6)
        return where;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().isEqual(bound, QHostAddress::TolerantConversion))
                where.interfaceIndex = interface.index();
        }
    }
    return where;
}

}  // namespace

PageAnnouncement::PageAnnouncement(const WebServer& page, std::string hostName)
    : hostName_(std::move(hostName)),
      name_(ServiceNameFor("", hostName_)),
      address_(page.Address().toStdString()),
      service_(Where(page, name_)) {}

void PageAnnouncement::Show(const Board& board) {
    const std::string name = ServiceNameFor(board.registerName, hostName_);
    if (name == name_) return;
    name_ = name;
    service_.Rename(name_);
}

OutputState PageAnnouncement::Health() const {
    return {"dns-sd", address_, true};
}

}  // namespace display

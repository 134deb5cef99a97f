#pragma once
// The Host field of a request to the display's page, and the names the page is served under:
// a page of another site whose name was pointed at this machine (DNS rebinding) gets nothing.

#include <QByteArrayView>
#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace display {

// Which names a request's Host field may give the server, so that a page of another site
// whose name was pointed at this machine (DNS rebinding) gets nothing from it.
struct HostRule {
    // Bound to loopback: only "localhost" and loopback addresses, and names.
    bool loopbackOnly = true;
    // Names given on the command line, as HostName returns them. Bound to other addresses,
    // none given means any host.
    QStringList names;
};

enum class HostVerdict {
    Served,       // the request may be answered
    Misdirected,  // it names another host: 421
    Malformed,    // the field is not a host and optional port (or comes twice): 400
};

// Judges a request's Host field (empty when it has none: only programs leave it out, never a
// browser, so it is served) for a server that local, the address the request came to, is one
// of. "localhost" and loopback addresses are always served, and so is, bound to other
// addresses than loopback, local itself written as an address (the address a tablet's
// bookmark holds); then the rule's names, with any port.
HostVerdict JudgeHost(QByteArrayView field, const HostRule& rule, const QHostAddress& local);

// A host name or address as given to --http-host, in the form JudgeHost compares: lower case,
// an address written as Qt writes it. Empty when it is neither a name nor an address.
QString HostName(const QString& name);

}  // namespace display

#pragma once
// A display stand-in for tests: listens on a free loopback port (IPv4 unless told) and keeps, for
// each accepted connection in the order they were accepted, every byte it received until the client
// closed it.

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <string>
#include <vector>

class Receiver {
  public:
    explicit Receiver(const QHostAddress& loopback = QHostAddress(QHostAddress::LocalHost)) {
        server_.listen(loopback, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                const std::size_t index = messages_.size();
                messages_.emplace_back();
                complete_.push_back(false);
                auto read = [this, socket, index] {
                    const QByteArray bytes = socket->readAll();
                    messages_[index].append(bytes.constData(), bytes.size());
                };
                QObject::connect(socket, &QTcpSocket::readyRead, &server_, read);
                QObject::connect(socket, &QTcpSocket::disconnected, &server_,
                                 [this, socket, index, read] {
                                     read();
                                     complete_[index] = true;
                                     socket->deleteLater();
                                 });
            }
        });
    }
    bool listening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }

    // Connections the client has closed, in the order they were opened.
    std::size_t Complete() const {
        std::size_t count = 0;
        while (count < complete_.size() && complete_[count])
            ++count;
        return count;
    }
    const std::vector<std::string>& messages() const { return messages_; }

  private:
    QTcpServer server_;
    std::vector<std::string> messages_;
    std::vector<bool> complete_;
};

// A loopback port on which nothing listens (connections to it are refused).
inline quint16 RefusingPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

#pragma once
// One MQTT session with a broker, through libmosquitto: connects outward, subscribes to a
// fixed list of topics with QoS 1 on a persistent session, leaves a last will, and keeps
// trying with a growing, jittered delay (1 s doubling to 30 s) whenever the broker is away,
// for as long as the client lives.
//
// Threading. libmosquitto runs on a thread of the client's own, which calls mosquitto_loop;
// its callbacks run there and reach the Qt thread that made the client as queued calls
// (QMetaObject::invokeMethod), so every signal arrives on that thread and nothing the display
// owns is touched from another. Not the other way (QSocketNotifier on mosquitto's socket with
// mosquitto_loop_misc on a timer): libmosquitto resolves the broker's name and, for
// mqtts://, may finish its TLS handshake inside calls that block, which must never stall
// the window. Not mosquitto_loop_start either: its loop gives up for good on a TLS or name
// error, where a display must keep trying. Publish is safe from the Qt thread
// (mosquitto_threaded_set).
//
// Ending the client, when it is connected, publishes the farewell (the will's own message)
// and waits up to 1 s for the broker to take it before it disconnects; otherwise the broker
// publishes the will itself once it sees the link gone.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace display {

struct MqttSession {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string caFile;  // empty: the system's certificate authorities
    std::string user;    // empty: no login
    std::string password;
    int keepaliveSeconds = 30;
    std::string clientId;  // the persistent session's name
    std::vector<std::string> subscriptions;
    // Published retained at each connect; the will publishes willPayload there instead.
    std::string statusTopic;
    std::string onlinePayload;
    std::string willPayload;
    // A received payload longer than this reaches message() cut to this many bytes plus one.
    std::size_t maxPayload = 64 * 1024;
};

class MqttClient : public QObject {
    Q_OBJECT

  public:
    explicit MqttClient(MqttSession session, QObject* parent = nullptr);
    // Says farewell (see above) and ends the client's thread.
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts connecting on the client's thread and returns at once: true. False, with why in
    // *error, when libmosquitto refuses the settings (a CA file it cannot use).
    bool Start(std::string* error);

    // Publishes with QoS 1 while connected: true when handed to libmosquitto. False while the
    // link is down; nothing is queued meanwhile (the owner publishes afresh at connected()).
    bool Publish(const std::string& topic, const std::string& payload, bool retain);

  signals:
    // The broker took the session (status published, subscriptions asked for).
    void connected();
    // A try failed or a connection was lost (why, in words); the tries go on.
    void failed(const QString& reason);
    // The broker would not take one of the subscriptions (its ACL forbids it).
    void subscriptionRefused(const QString& topic);
    // A message on one of the subscriptions.
    void message(const QByteArray& topic, const QByteArray& payload);

  private:
    class Loop;
    std::unique_ptr<Loop> loop_;
};

}  // namespace display

#include "BrokerLink.h"

#include <algorithm>
#include <utility>
#include <variant>

#include "board/Message.h"
#include "common/Log.h"
#include "mqtt/SetMessages.h"
#include "web/WebBoard.h"

namespace display {

namespace {

// As the state file: at most four writes a second, the last change always written.
constexpr int kStateGapMs = 250;

}  // namespace

BrokerLink::BrokerLink(BrokerOptions options, std::function<void(std::span<const Message>)> apply)
    : options_(std::move(options)), apply_(std::move(apply)), setTopics_(SetTopics(options_)) {
    stateGap_.setSingleShot(true);
    stateGap_.setInterval(kStateGapMs);
    QObject::connect(&stateGap_, &QTimer::timeout, [this] {
        if (!statePending_) return;
        statePending_ = false;
        PublishState();
    });
}

BrokerLink::~BrokerLink() = default;

bool BrokerLink::Start(std::string* error) {
    MqttSession session;
    session.host = options_.host;
    session.port = options_.port;
    session.tls = options_.tls;
    session.caFile = options_.caFile;
    session.user = options_.user;
    session.password = options_.password;
    session.keepaliveSeconds = options_.keepaliveSeconds;
    session.clientId = ClientId(options_.topic);
    session.subscriptions = setTopics_;
    session.statusTopic = options_.topic + "/status";
    session.onlinePayload = "online";
    session.willPayload = "offline";
    session.maxPayload = kMaxMessageBytes;
    client_ = std::make_unique<MqttClient>(std::move(session));
    MqttClient* client = client_.get();
    QObject::connect(client, &MqttClient::connected, client, [this] { Connected(); });
    QObject::connect(client, &MqttClient::failed, client,
                     [this](const QString& reason) { Failed(reason); });
    QObject::connect(
        client, &MqttClient::message, client,
        [this](const QByteArray& topic, const QByteArray& payload) { Received(topic, payload); });
    return client_->Start(error);
}

void BrokerLink::ReportOutputs(std::function<std::vector<OutputState>()> outputs) {
    outputs_ = std::move(outputs);
}

void BrokerLink::Show(const Board& board) {
    board_ = board;
    PublishState();
}

OutputState BrokerLink::Health() const {
    return {"mqtt", options_.host + ":" + std::to_string(options_.port), up_};
}

void BrokerLink::Connected() {
    up_ = true;
    if (outageLogged_ || !everUp_) {
        LogLine("broker " + options_.url + ": " + (everUp_ ? "connected again" : "connected") +
                ", as " + options_.topic);
    }
    everUp_ = true;
    outageLogged_ = false;
    statePending_ = false;
    stateGap_.stop();
    PublishState();
}

// One line per outage: the first failed try says why; the next say nothing until the link is
// back.
void BrokerLink::Failed(const QString& reason) {
    up_ = false;
    if (outageLogged_) return;
    outageLogged_ = true;
    LogLine("broker " + options_.url + ": " + reason.toStdString() +
            "; trying again until it answers (the board stays as it is meanwhile)");
}

void BrokerLink::Received(const QByteArray& topic, const QByteArray& payload) {
    const std::string name = topic.toStdString();
    if (std::find(setTopics_.begin(), setTopics_.end(), name) == setTopics_.end()) {
        // A subscription the persistent session kept from an earlier configuration.
        Refuse(name, "not one of this display's set topics");
        return;
    }
    if (static_cast<std::size_t>(payload.size()) > kMaxMessageBytes) {
        Refuse(name, "over " + std::to_string(kMaxMessageBytes) + " bytes");
        return;
    }
    auto made = SetMessages(std::string_view(payload.constData(), payload.size()));
    if (const auto* why = std::get_if<std::string>(&made)) {
        Refuse(name, *why);
        return;
    }
    apply_(std::get<std::vector<Message>>(made));
}

void BrokerLink::Refuse(const std::string& topic, const std::string& why) {
    const std::string source = "from the broker on " + Excerpt(topic, 100);
    refusals_.Write(source, "refused messages", source + ": " + why + "; refused");
}

void BrokerLink::PublishState() {
    if (!up_) return;  // published at the next connect
    if (stateGap_.isActive()) {
        statePending_ = true;
        return;
    }
    const std::vector<OutputState> outputs = outputs_ ? outputs_() : std::vector<OutputState>{};
    client_->Publish(options_.topic + "/state", StateAnswer(board_, outputs), true);
    stateGap_.start();
}

}  // namespace display

#include "MqttClient.h"

#include <QMetaObject>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

namespace display {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kFirstDelay{1000};
constexpr milliseconds kMaxDelay{30000};
// How long one turn of the loop waits for the network: also how soon a stop is seen.
constexpr int kTurnMs = 100;
// A broker whose packets vanish would hold a try for the system's TCP timeout (minutes).
constexpr milliseconds kAnswerWait{10000};
constexpr milliseconds kFarewellWait{1000};

struct Destroy {
    void operator()(mosquitto* handle) const { mosquitto_destroy(handle); }
};

// libmosquitto's process-wide setup, once, before the first client.
void InitialiseLibrary() {
    static const int initialised = mosquitto_lib_init();
    (void)initialised;
}

// libmosquitto's sentences as the middle of a log line.
std::string WithoutFullStop(std::string text) {
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// A libmosquitto result in words; call on the thread that got it (errno).
std::string ErrorText(int result) {
    return WithoutFullStop(result == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                                    : mosquitto_strerror(result));
}

}  // namespace

class MqttClient::Loop {
  public:
    Loop(MqttClient& owner, MqttSession session) : owner_(owner), session_(std::move(session)) {}

    // Stops the thread: farewell first when connected.
    ~Loop() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    bool Start(std::string* error) {
        InitialiseLibrary();
        handle_.reset(mosquitto_new(session_.clientId.c_str(), /*clean_session=*/false, this));
        if (!handle_) {
            *error = std::string("cannot make an MQTT client: ") + std::strerror(errno);
            return false;
        }
        mosquitto* handle = handle_.get();
        mosquitto_threaded_set(handle, true);  // the Qt thread publishes
        mosquitto_int_option(handle, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        if (!session_.user.empty())
            mosquitto_username_pw_set(
                handle, session_.user.c_str(),
                session_.password.empty() ? nullptr : session_.password.c_str());
        mosquitto_will_set(handle, session_.statusTopic.c_str(), Length(session_.willPayload),
                           session_.willPayload.data(), 1, true);
        if (session_.tls) {
            if (session_.caFile.empty()) {
                mosquitto_int_option(handle, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            } else if (const int rc = mosquitto_tls_set(handle, session_.caFile.c_str(), nullptr,
                                                        nullptr, nullptr, nullptr);
                       rc != MOSQ_ERR_SUCCESS) {
                *error = "--mqtt-ca " + session_.caFile + ": " + ErrorText(rc);
                return false;
            }
        }
        mosquitto_connect_callback_set(handle, &Loop::Connected);
        mosquitto_message_callback_set(handle, &Loop::Received);
        mosquitto_publish_callback_set(handle, &Loop::Published);
        mosquitto_subscribe_callback_set(handle, &Loop::Subscribed);
        thread_ = std::thread([this] { Run(); });
        return true;
    }

    bool Publish(const std::string& topic, const std::string& payload, bool retain) {
        if (!up_) return false;
        return mosquitto_publish(handle_.get(), nullptr, topic.c_str(), Length(payload),
                                 payload.data(), 1, retain) == MOSQ_ERR_SUCCESS;
    }

  private:
    static int Length(const std::string& text) { return static_cast<int>(text.size()); }

    // The client's thread: a connection at a time, a pause between tries.
    void Run() {
        std::minstd_rand random(std::random_device{}());
        milliseconds delay = kFirstDelay;
        while (!Stopping()) {
            refusal_.clear();
            const int rc = mosquitto_connect_async(handle_.get(), session_.host.c_str(),
                                                   session_.port, session_.keepaliveSeconds);
            const std::string why = rc == MOSQ_ERR_SUCCESS ? Serve() : ErrorText(rc);
            if (up_.exchange(false)) delay = kFirstDelay;
            if (Stopping()) break;
            Post([owner = &owner_, why = QString::fromStdString(why)] { emit owner->failed(why); });
            // Between half the delay and all of it, so that the displays that lost one broker
            // do not all come back to it at the same instant.
            std::uniform_int_distribution<long long> jittered(delay.count() / 2, delay.count());
            Pause(milliseconds(jittered(random)));
            delay = std::min(delay * 2, kMaxDelay);
        }
    }

    // One connection, from its CONNECT until it breaks (why) or the client stops (empty).
    std::string Serve() {
        const auto answerBy = Clock::now() + kAnswerWait;
        for (;;) {
            if (Stopping()) {
                if (up_) Farewell();
                return {};
            }
            if (const int rc = mosquitto_loop(handle_.get(), kTurnMs, 1); rc != MOSQ_ERR_SUCCESS)
                return refusal_.empty() ? ErrorText(rc) : "refused: " + refusal_;
            if (!up_ && Clock::now() > answerBy)
                return "no answer within " + std::to_string(kAnswerWait.count() / 1000) + " s";
        }
    }

    // The status the will would give, published by the display itself, then a clean
    // disconnect; without the broker's acknowledgement, the link is dropped and the broker
    // publishes the will.
    void Farewell() {
        mosquitto* handle = handle_.get();
        int id = 0;
        if (mosquitto_publish(handle, &id, session_.statusTopic.c_str(),
                              Length(session_.willPayload), session_.willPayload.data(), 1,
                              true) != MOSQ_ERR_SUCCESS)
            return;
        farewellId_ = id;
        const auto until = Clock::now() + kFarewellWait;
        while (!farewellTaken_ && Clock::now() < until &&
               mosquitto_loop(handle, kTurnMs, 1) == MOSQ_ERR_SUCCESS) {
        }
        if (!farewellTaken_) return;
        mosquitto_disconnect(handle);
        mosquitto_loop(handle, kTurnMs, 1);
    }

    bool Stopping() {
        const std::lock_guard lock(mutex_);
        return stopping_;
    }

    void Pause(milliseconds time) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, time, [this] { return stopping_; });
    }

    // Runs f on the owner's (Qt) thread; dropped if the owner is gone by then.
    template <typename F>
    void Post(F f) {
        QMetaObject::invokeMethod(&owner_, std::move(f), Qt::QueuedConnection);
    }

    // libmosquitto's callbacks, on the client's thread.
    static void Connected(mosquitto* handle, void* self, int rc) {
        auto& loop = *static_cast<Loop*>(self);
        if (rc != 0) {
            loop.refusal_ = WithoutFullStop(mosquitto_connack_string(rc));
            return;
        }
        std::vector<char*> topics;
        for (std::string& topic : loop.session_.subscriptions)
            topics.push_back(topic.data());
        mosquitto_subscribe_multiple(handle, nullptr, static_cast<int>(topics.size()),
                                     topics.data(), 1, 0, nullptr);
        mosquitto_publish(handle, nullptr, loop.session_.statusTopic.c_str(),
                          Length(loop.session_.onlinePayload), loop.session_.onlinePayload.data(),
                          1, true);
        loop.up_ = true;
        loop.Post([owner = &loop.owner_] { emit owner->connected(); });
    }

    static void Received(mosquitto*, void* self, const mosquitto_message* message) {
        auto& loop = *static_cast<Loop*>(self);
        const std::size_t size =
            std::min(static_cast<std::size_t>(std::max(message->payloadlen, 0)),
                     loop.session_.maxPayload + 1);
        QByteArray topic(message->topic);
        QByteArray payload(static_cast<const char*>(message->payload),
                           static_cast<qsizetype>(size));
        loop.Post([owner = &loop.owner_, topic = std::move(topic), payload = std::move(payload)] {
            emit owner->message(topic, payload);
        });
    }

    // The broker's answer to the subscriptions, one granted QoS per topic in their order; 0x80
    // for a refusal.
    static void Subscribed(mosquitto*, void* self, int, int count, const int* granted) {
        auto& loop = *static_cast<Loop*>(self);
        const auto& topics = loop.session_.subscriptions;
        for (std::size_t i = 0; i < topics.size() && i < static_cast<std::size_t>(count); ++i) {
            if (granted[i] < 0 || granted[i] > 2) {
                loop.Post([owner = &loop.owner_, topic = QString::fromStdString(topics[i])] {
                    emit owner->subscriptionRefused(topic);
                });
            }
        }
    }

    static void Published(mosquitto*, void* self, int id) {
        auto& loop = *static_cast<Loop*>(self);
        if (id == loop.farewellId_) loop.farewellTaken_ = true;
    }

    MqttClient& owner_;
    MqttSession session_;
    std::unique_ptr<mosquitto, Destroy> handle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;        // under mutex_
    std::atomic<bool> up_{false};  // the broker took the session; read by Publish
    // The client's thread alone:
    std::string refusal_;  // the broker's answer to the last CONNECT, when it refused
    int farewellId_ = -1;
    bool farewellTaken_ = false;
    std::thread thread_;  // last: started once everything above is there
};

MqttClient::MqttClient(MqttSession session, QObject* parent)
    : QObject(parent), loop_(std::make_unique<Loop>(*this, std::move(session))) {}

MqttClient::~MqttClient() = default;

bool MqttClient::Start(std::string* error) {
    return loop_->Start(error);
}

bool MqttClient::Publish(const std::string& topic, const std::string& payload, bool retain) {
    return loop_->Publish(topic, payload, retain);
}

}  // namespace display

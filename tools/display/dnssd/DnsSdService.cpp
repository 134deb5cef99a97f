#include "DnsSdService.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <string_view>
#include <utility>

#include "common/Log.h"

namespace display {

namespace {

constexpr const char* kServiceType = "_http._tcp";
constexpr std::size_t kLabelBytes = 63;

// The RAII owners of Avahi's objects.
struct PollFree {
    void operator()(AvahiThreadedPoll* poll) const { avahi_threaded_poll_free(poll); }
};
struct ClientFree {
    void operator()(AvahiClient* client) const { avahi_client_free(client); }
};
using Poll = std::unique_ptr<AvahiThreadedPoll, PollFree>;
using Client = std::unique_ptr<AvahiClient, ClientFree>;

// Holds the poll's lock for a scope, from a thread other than the poll's.
class PollLock {
  public:
    explicit PollLock(AvahiThreadedPoll* poll) : poll_(poll) { avahi_threaded_poll_lock(poll_); }
    ~PollLock() { avahi_threaded_poll_unlock(poll_); }
    PollLock(const PollLock&) = delete;
    PollLock& operator=(const PollLock&) = delete;

  private:
    AvahiThreadedPoll* poll_;
};

void Log(const std::string& what) {
    LogLine("dns-sd: " + what);
}

}  // namespace

// Touched by Avahi's thread (in callbacks) and by the caller's (under the poll's lock).
struct DnsSdService::Avahi {
    Announcement announcement;
    Poll poll;
    Client client;
    AvahiEntryGroup* group = nullptr;  // the client's: freed with it
    bool saidAbsent = false;           // the missing daemon was logged

    void Connect() {
        int error = 0;
        group = nullptr;
        // NO_FAIL: without a daemon the client waits for one rather than failing.
        client.reset(avahi_client_new(avahi_threaded_poll_get(poll.get()), AVAHI_CLIENT_NO_FAIL,
                                      &Avahi::ClientChanged, this, &error));
        if (!client) {
            Log(std::string("cannot reach Avahi (") + avahi_strerror(error) +
                "): the page is not announced on the network");
        }
    }

    // Adds the service to the group (made when needed) and commits it.
    void Publish(AvahiClient* c) {
        if (group == nullptr) {
            group = avahi_entry_group_new(c, &Avahi::GroupChanged, this);
            if (group == nullptr)
                return Log(std::string("cannot announce the page: ") +
                           avahi_strerror(avahi_client_errno(c)));
        }
        if (!avahi_entry_group_is_empty(group)) return;
        const AvahiIfIndex where = announcement.interfaceIndex >= 0
                                       ? static_cast<AvahiIfIndex>(announcement.interfaceIndex)
                                       : AVAHI_IF_UNSPEC;
        const AvahiProtocol protocol =
            announcement.ipv4Only ? AVAHI_PROTO_INET : AVAHI_PROTO_UNSPEC;
        const int added = avahi_entry_group_add_service(
            group, where, protocol, AvahiPublishFlags{}, announcement.name.c_str(), kServiceType,
            nullptr, nullptr, announcement.port, "path=/", nullptr);
        if (added == AVAHI_ERR_COLLISION) return TakeAlternativeName(c);
        if (added < 0 || avahi_entry_group_commit(group) < 0) {
            Log("cannot announce the page as \"" + announcement.name +
                "\": " + avahi_strerror(avahi_client_errno(c)));
        }
    }

    void TakeAlternativeName(AvahiClient* c) {
        char* other = avahi_alternative_service_name(announcement.name.c_str());
        Log("the name \"" + announcement.name + "\" is taken on the network: announced as \"" +
            other + "\"");
        announcement.name = other;
        avahi_free(other);
        avahi_entry_group_reset(group);
        Publish(c);
    }

    static void ClientChanged(AvahiClient* c, AvahiClientState state, void* data) {
        auto* self = static_cast<Avahi*>(data);
        switch (state) {
            case AVAHI_CLIENT_S_RUNNING:
                if (self->saidAbsent) Log("avahi-daemon is up: the page is announced");
                self->saidAbsent = false;
                self->Publish(c);
                break;
            case AVAHI_CLIENT_S_COLLISION:
            case AVAHI_CLIENT_S_REGISTERING:
                // The host's own name is being settled: announced again once it is.
                if (self->group != nullptr) avahi_entry_group_reset(self->group);
                break;
            case AVAHI_CLIENT_CONNECTING:
                if (!self->saidAbsent) {
                    Log("avahi-daemon is not running: the page is not announced on the network "
                        "until it starts");
                    self->saidAbsent = true;
                }
                break;
            case AVAHI_CLIENT_FAILURE:
                if (avahi_client_errno(c) == AVAHI_ERR_DISCONNECTED) {
                    // The daemon went away: a new client waits for it to come back. The old
                    // one is freed on the way, from inside its own callback, as Avahi allows.
                    self->Connect();
                } else {
                    Log(std::string("Avahi failed: ") + avahi_strerror(avahi_client_errno(c)));
                }
                break;
        }
    }

    static void GroupChanged(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data) {
        auto* self = static_cast<Avahi*>(data);
        if (state == AVAHI_ENTRY_GROUP_COLLISION) {
            self->TakeAlternativeName(avahi_entry_group_get_client(g));
        } else if (state == AVAHI_ENTRY_GROUP_FAILURE) {
            Log(std::string("the announcement failed: ") +
                avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g))));
        }
    }
};

DnsSdService::DnsSdService(Announcement announcement) : avahi_(std::make_unique<Avahi>()) {
    avahi_->announcement = std::move(announcement);
    avahi_->poll.reset(avahi_threaded_poll_new());
    if (!avahi_->poll) {
        Log("cannot start Avahi's thread: the page is not announced");
        return;
    }
    {
        PollLock lock(avahi_->poll.get());
        avahi_->Connect();
    }
    if (avahi_threaded_poll_start(avahi_->poll.get()) < 0) {
        Log("cannot start Avahi's thread: the page is not announced");
        avahi_->client.reset();
        avahi_->poll.reset();
    }
}

DnsSdService::~DnsSdService() {
    if (!avahi_->poll) return;
    avahi_threaded_poll_stop(avahi_->poll.get());
    // The thread is over: the client (its group with it, which withdraws the service) and then
    // the poll go.
    avahi_->client.reset();
    avahi_->poll.reset();
}

void DnsSdService::Rename(const std::string& name) {
    if (!avahi_->poll) return;
    PollLock lock(avahi_->poll.get());
    if (name == avahi_->announcement.name) return;
    avahi_->announcement.name = name;
    if (avahi_->group == nullptr || !avahi_->client ||
        avahi_client_get_state(avahi_->client.get()) != AVAHI_CLIENT_S_RUNNING)
        return;  // announced under the new name once the daemon is there
    avahi_entry_group_reset(avahi_->group);
    avahi_->Publish(avahi_->client.get());
}

std::string ServiceNameFor(const std::string& registerName, const std::string& hostName) {
    std::string name = "Afficheur " + (registerName.empty() ? hostName : registerName);
    for (char& c : name) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    if (name.size() <= kLabelBytes) return name;
    std::size_t cut = kLabelBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;  // not inside a character
    return name.substr(0, cut);
}

}  // namespace display

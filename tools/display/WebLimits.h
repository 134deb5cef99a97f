#pragma once
// The bounds of the display's web page server, the meter that holds one request to them and
// the share that keeps one client address from taking every slot. Plain C++ (no Qt), so the
// limits can be tested on their own.
//
// The server reads each request with Qt's HTTP server; the meter only counts what arrives
// before the request is whole (bytes, lines of its head) so that a request past the bounds is
// refused before it is buffered, whatever the parser would make of it.

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace display {

struct WebLimits {
    // Pages following the board at once (live update streams); more get 503.
    int maxViewers = 32;
    // Connections open at once, viewers included; more are answered 503 and closed unread.
    int maxConnections = 64;
    // The most of those one client address holds (an IPv6 address counts by its /64), and
    // what a newcomer below it may take from the address that holds the most (see FairShare).
    int shareViewers = 8;
    int shareConnections = 16;
    // A request, head and any body, is at most this many bytes.
    std::size_t maxRequestBytes = 8 * 1024;
    // The head of a request (request line and header fields) has at most this many lines.
    int maxHeadLines = 100;
    // A request must be whole this long after its connection opened, or gets 408.
    int requestTimeoutMs = 10000;
    // A viewer gets a keep-alive event this often, so that it sees a dead link.
    int heartbeatMs = 15000;
    // A viewer that takes none of its update for this long is dropped (it reconnects when it
    // is alive again).
    int stuckViewerMs = 30000;
};

// What the bytes so far say about a request.
enum class RequestVerdict {
    Within,        // within the bounds so far
    HeadTooLarge,  // the head is past the byte or line bound: answer 431
    TooLarge,      // the head ended but the request is past the byte bound: answer 413
};

// Counts one request's bytes as they arrive. The head ends at the first empty line (CRLF or
// LF line ends, as Qt's parser reads them).
class RequestMeter {
  public:
    explicit RequestMeter(const WebLimits& limits);

    // Takes the next bytes of the request and says whether it is still within the bounds.
    // Once a bound is passed the verdict stays.
    RequestVerdict Feed(std::string_view bytes);

    std::size_t bytes() const { return bytes_; }
    bool headEnded() const { return headEnded_; }

  private:
    std::size_t maxBytes_;
    int maxLines_;
    std::size_t bytes_ = 0;
    std::size_t headBytes_ = 0;  // the head's length, once it ended
    int lines_ = 0;
    bool headEnded_ = false;
    // The characters since the last line feed, up to two: "" or "\r" before a line feed
    // means the line was empty.
    std::size_t lineLength_ = 0;
    bool lineIsCr_ = false;
    RequestVerdict verdict_ = RequestVerdict::Within;
};

// Who holds the slots of one kind (connections, or viewers) by client address, so that one
// address never keeps the others out. Holder is what the owner closes when a slot is taken
// back (a socket, a viewer); address any text that tells client addresses apart.
//
// An address holds at most share slots: its next newcomer is refused. Below its share, a
// newcomer takes a free slot, or, when none is free, the oldest slot of the address that
// holds the most, counting the newcomer with its own address. A tie goes to the newcomer's
// own address (a tablet back after its Wi-Fi dropped, its old stream still open, replaces
// that stream at once), then to the address whose oldest slot is the oldest. Only a newcomer
// whose address holds nothing, while every address holds one slot, is refused: there is
// nothing to take back fairly.
template <typename Holder>
class FairShare {
  public:
    enum class Admission {
        Take,         // a free slot
        TakeBack,     // victim's slot: close victim, Release it, then Hold the newcomer
        RefuseShare,  // the address holds its share already
        RefuseFull,   // every slot taken, one per address
    };
    struct Verdict {
        Admission admission = Admission::Take;
        Holder victim{};
        std::string victimAddress;
    };

    FairShare(int places, int share) : places_(places), share_(share) {}

    // What a newcomer from address gets.
    Verdict Admit(const std::string& address) const {
        // By address: how many it holds, and where its oldest is in held_.
        std::map<std::string, std::pair<int, std::size_t>> held;
        for (std::size_t i = 0; i < held_.size(); ++i)
            ++held.try_emplace(held_[i].address, 0, i).first->second.first;
        const auto own = held.find(address);
        const int mine = own == held.end() ? 0 : own->second.first;
        if (mine >= share_) return {Admission::RefuseShare, {}, {}};
        if (static_cast<int>(held_.size()) < places_) return {Admission::Take, {}, {}};
        // The newcomer's own address counts it and wins a tie.
        std::string most = address;
        int count = mine + 1;
        std::size_t oldest = own == held.end() ? held_.size() : own->second.second;
        for (const auto& [other, holding] : held) {
            const auto [theirs, theirOldest] = holding;
            if (other == address) continue;
            if (theirs > count || (theirs == count && most != address && theirOldest < oldest)) {
                most = other;
                count = theirs;
                oldest = theirOldest;
            }
        }
        if (oldest == held_.size()) return {Admission::RefuseFull, {}, {}};
        return {Admission::TakeBack, held_[oldest].holder, held_[oldest].address};
    }

    // holder takes a slot for address, as its newest.
    void Hold(Holder holder, std::string address) {
        held_.push_back({std::move(holder), std::move(address)});
    }

    // Frees the slot of each holder that matches; nothing when none does.
    template <typename Match>
    void ReleaseIf(Match match) {
        std::erase_if(held_, [&match](const Slot& slot) { return match(slot.holder); });
    }
    void Release(const Holder& holder) {
        ReleaseIf([&holder](const Holder& held) { return held == holder; });
    }

    int held() const { return static_cast<int>(held_.size()); }
    int HeldBy(const std::string& address) const {
        return static_cast<int>(std::count_if(
            held_.begin(), held_.end(), [&](const Slot& slot) { return slot.address == address; }));
    }
    // Every holder, the oldest first.
    std::vector<Holder> Holders() const {
        std::vector<Holder> holders;
        holders.reserve(held_.size());
        for (const Slot& slot : held_)
            holders.push_back(slot.holder);
        return holders;
    }

  private:
    struct Slot {
        Holder holder;
        std::string address;
    };
    int places_;
    int share_;
    std::vector<Slot> held_;  // the oldest first
};

}  // namespace display

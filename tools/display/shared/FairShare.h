#pragma once
// The share of a listener's slots that keeps one client address from taking them all: the
// display's receiver and its web page (connections and pages) each keep one. Plain C++ (no
// Qt), so the rule can be tested on its own.

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace display {

// Who holds the slots of one kind (connections, or pages) by client address, so that one
// address never keeps the others out. Holder is what the owner closes when a slot is taken
// back (a connection, a socket, a viewer); address any text that tells client addresses apart.
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

    // The newest holder that matches, with its address; nothing when none does.
    template <typename Match>
    std::optional<std::pair<Holder, std::string>> NewestWhere(Match match) const {
        for (auto at = held_.rbegin(); at != held_.rend(); ++at) {
            if (match(at->holder)) return std::pair<Holder, std::string>(at->holder, at->address);
        }
        return std::nullopt;
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

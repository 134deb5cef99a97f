#pragma once
// What the display shows while nobody buys, one slide after the other: first the welcome text
// with the shop's logo above it (the text alone without a logo), then each of the shop's
// pictures alone, then the welcome text again. Plain C++; the keeper turns it on a timer.

#include <cstddef>
#include <string>
#include <vector>

#include "Board.h"

namespace display {

class PictureCycle {
  public:
    // The pictures by their names (see Board::picture); an empty logo: none. Starts again from
    // the first slide.
    void Set(std::string logo, std::vector<std::string> pictures);

    // Whether there is more than one slide, so that a timer must turn them.
    bool Turns() const { return !pictures_.empty(); }

    // Back to the first slide: the welcome text and the logo.
    void Restart() { at_ = 0; }
    // On to the next slide, after the last the first.
    void Next();

    // Puts the current slide's picture on board (its text is the keeper's).
    void ShowOn(Board& board) const;

  private:
    std::string logo_;
    std::vector<std::string> pictures_;
    std::size_t at_ = 0;  // 0: the welcome text; n: pictures_[n - 1]
};

}  // namespace display

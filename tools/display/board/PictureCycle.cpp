#include "PictureCycle.h"

#include <utility>

namespace display {

void PictureCycle::Set(std::string logo, std::vector<std::string> pictures) {
    logo_ = std::move(logo);
    pictures_ = std::move(pictures);
    at_ = 0;
}

void PictureCycle::Next() {
    at_ = at_ >= pictures_.size() ? 0 : at_ + 1;
}

void PictureCycle::ShowOn(Board& board) const {
    if (at_ == 0) {
        board.picture = logo_;
        board.pictureAlone = false;
    } else {
        board.picture = pictures_[at_ - 1];
        board.pictureAlone = true;
    }
}

}  // namespace display

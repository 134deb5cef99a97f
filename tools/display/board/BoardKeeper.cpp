#include "BoardKeeper.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <utility>

#include "BoardState.h"

namespace display {

namespace {

std::int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

BoardKeeper::BoardKeeper(Keeping keeping, QObject* parent)
    : QObject(parent), keeping_(std::move(keeping)) {
    std::optional<SavedBoard> saved;
    if (!keeping_.statePath.isEmpty()) {
        store_ = std::make_unique<BoardStore>(keeping_.statePath);
        saved = store_->Load();
    }
    board_ = RestoredBoard(saved ? &*saved : nullptr, NowMs(), keeping_.restoreWithinMs,
                           keeping_.welcome);
    textSetAtMs_ = saved && board_.text == saved->board.text ? saved->textSetAtMs : NowMs();
    PickPicture(true);
    // Back to the welcome text after a while without a message, so a sale does not linger.
    welcomeTimer_.setSingleShot(true);
    if (keeping_.welcomeAfterMs) {
        welcomeTimer_.setInterval(std::chrono::milliseconds(*keeping_.welcomeAfterMs));
        connect(&welcomeTimer_, &QTimer::timeout, this, [this] {
            if (Idle()) return;
            // As a text message would: the sale's total goes with the sale.
            board_.text = keeping_.welcome;
            board_.total.clear();
            PickPicture(true);
            Changed(true);
        });
        welcomeTimer_.start();
    }
    pictureTimer_.setInterval(std::chrono::milliseconds(keeping_.pictureMs));
    connect(&pictureTimer_, &QTimer::timeout, this, [this] {
        pictures_.Next();
        PickPicture(false);
        ShowViews();  // the state file keeps no picture
    });
}

BoardKeeper::~BoardKeeper() = default;

void BoardKeeper::AddView(BoardView& view) {
    views_.push_back(&view);
    view.Show(board_);
}

void BoardKeeper::Apply(const Message& message) {
    Apply(std::span<const Message>(&message, 1));
}

void BoardKeeper::Apply(std::span<const Message> messages) {
    const auto isPair = [](const Message& message) { return message.kind == Kind::Pair; };
    if (std::all_of(messages.begin(), messages.end(), isPair)) {
        for (std::size_t i = 0; i < messages.size(); ++i)
            emit pairAsked();  // the board itself does not change
        return;
    }
    const Board before = board_;
    for (const Message& message : messages) {
        if (isPair(message)) {
            emit pairAsked();
            continue;
        }
        board_.Apply(message);
    }
    const bool textChanged =
        board_.text != before.text || board_.total != before.total || board_.qr != before.qr;
    if (textChanged || board_.picture != before.picture) PickPicture(true);
    const bool said = std::any_of(messages.begin(), messages.end(), [](const Message& message) {
        return message.kind == Kind::Text || message.kind == Kind::Total ||
               message.kind == Kind::Qr;
    });
    Changed(said);
    if (keeping_.welcomeAfterMs) welcomeTimer_.start();
}

void BoardKeeper::Replace(const Board& board) {
    const bool textChanged = board.text != board_.text || board.total != board_.total;
    board_ = board;
    PickPicture(textChanged);
    Changed(textChanged);
}

void BoardKeeper::SetPictures(std::string logo, std::vector<std::string> pictures) {
    pictures_.Set(std::move(logo), std::move(pictures));
    PickPicture(true);
    ShowViews();
}

bool BoardKeeper::Idle() const {
    return board_.text == keeping_.welcome && board_.total.empty() && board_.qr.empty();
}

void BoardKeeper::PickPicture(bool restart) {
    if (!Idle()) {
        board_.picture.clear();
        board_.pictureAlone = false;
        pictureTimer_.stop();
        return;
    }
    if (restart) pictures_.Restart();
    pictures_.ShowOn(board_);
    if (!pictures_.Turns()) {
        pictureTimer_.stop();
    } else if (restart || !pictureTimer_.isActive()) {
        pictureTimer_.start();
    }
}

void BoardKeeper::Flush() {
    if (store_) store_->Flush();
}

void BoardKeeper::Changed(bool textChanged) {
    if (textChanged) textSetAtMs_ = NowMs();
    // The outputs first: the customer sees the message before the disk is touched.
    ShowViews();
    if (store_) store_->Keep({board_, textSetAtMs_});
}

void BoardKeeper::ShowViews() {
    for (BoardView* view : views_)
        view->Show(board_);
}

}  // namespace display

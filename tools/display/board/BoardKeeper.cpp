#include "BoardKeeper.h"

#include <QDateTime>

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
    // Back to the welcome text after a while without a message, so a sale does not linger.
    welcomeTimer_.setSingleShot(true);
    if (keeping_.welcomeAfterMs) {
        welcomeTimer_.setInterval(std::chrono::milliseconds(*keeping_.welcomeAfterMs));
        connect(&welcomeTimer_, &QTimer::timeout, this, [this] {
            if (board_.text == keeping_.welcome) return;
            board_.text = keeping_.welcome;
            Changed(true);
        });
        welcomeTimer_.start();
    }
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
    bool textChanged = false;
    for (const Message& message : messages) {
        board_.Apply(message);
        textChanged = textChanged || message.kind == Kind::Text || message.kind == Kind::Total;
    }
    Changed(textChanged);
    if (keeping_.welcomeAfterMs) welcomeTimer_.start();
}

void BoardKeeper::Replace(const Board& board) {
    const bool textChanged = board.text != board_.text;
    board_ = board;
    Changed(textChanged);
}

void BoardKeeper::Flush() {
    if (store_) store_->Flush();
}

void BoardKeeper::Changed(bool textChanged) {
    if (textChanged) textSetAtMs_ = NowMs();
    // The outputs first: the customer sees the message before the disk is touched.
    for (BoardView* view : views_)
        view->Show(board_);
    if (store_) store_->Keep({board_, textSetAtMs_});
}

}  // namespace display

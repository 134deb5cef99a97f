#pragma once
// The board at the centre of the display: the one copy that messages (or a followed display)
// change, the one place that hands each change to every view, and its keeping across restarts
// (a state file, read at start) and quiet spells (the welcome text comes back, and with it the
// shop's logo and pictures in turn). Lives on the thread that made it.

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Board.h"
#include "BoardStore.h"
#include "BoardView.h"
#include "PictureCycle.h"

namespace display {

struct Keeping {
    QString statePath;  // empty: no state file
    std::int64_t restoreWithinMs = 12LL * 3600 * 1000;
    std::string welcome;
    std::optional<std::int64_t> welcomeAfterMs;  // none: the welcome text never comes back
    std::int64_t pictureMs = 8000;               // how long each picture shows
};

class BoardKeeper : public QObject {
    Q_OBJECT

  public:
    // Reads the state file, if any: the board starts as it was saved (see RestoredBoard).
    explicit BoardKeeper(Keeping keeping, QObject* parent = nullptr);
    ~BoardKeeper() override;
    BoardKeeper(const BoardKeeper&) = delete;
    BoardKeeper& operator=(const BoardKeeper&) = delete;

    // view shows the board at once, and every change from now on; it must outlive the keeper
    // or never see another change.
    void AddView(BoardView& view);

    // A message: the board changes as Board::Apply says, and every view is shown it. A request
    // to pair a tablet changes no board: it is passed on as pairAsked.
    void Apply(const Message& message);

    // Messages that came together (one set message from the broker): applied in order as one
    // change, which every view is shown once.
    void Apply(std::span<const Message> messages);

    // A whole board from elsewhere (a followed display's page).
    void Replace(const Board& board);

    // The shop's logo and pictures by their names (empty logo: none), shown while the welcome
    // text is (see PictureCycle), each for Keeping::pictureMs; from the first slide again.
    void SetPictures(std::string logo, std::vector<std::string> pictures);

    // Writes the state file now (at exit).
    void Flush();

    // Why the state file cannot be kept (BoardStore::refused), or empty.
    std::string StateRefused() const { return store_ ? store_->refused() : std::string(); }

    const Board& board() const { return board_; }

  signals:
    // The till asked to show the display page's address for a tablet to open it.
    void pairAsked();

  private:
    void Changed(bool textChanged);
    void ShowViews();
    // Whether the welcome text shows, with no sale: the time for the pictures.
    bool Idle() const;
    // Puts the cycle's slide on the board while idle (from the first when restart), and none
    // otherwise; starts or stops the cycle's timer to match.
    void PickPicture(bool restart);

    Keeping keeping_;
    std::unique_ptr<BoardStore> store_;
    Board board_;
    std::int64_t textSetAtMs_ = 0;
    std::vector<BoardView*> views_;
    QTimer welcomeTimer_;
    PictureCycle pictures_;
    QTimer pictureTimer_;
};

}  // namespace display

#pragma once
// What every output of the display is to the board: a view that is handed the whole board at
// each change (the window, the full-screen window, each LCDd link, the web page). A view works
// out for itself what it must redraw, and knows no other view.

#include <string>

#include "Board.h"

namespace display {

// How an output is doing, for whoever asks why a display is dark (the page's /state).
struct OutputState {
    std::string kind;     // "window", "fullscreen", "lcdproc", "web"
    std::string address;  // where it shows: LCDd's HOST:PORT, the page's ADDR:PORT; or empty
    bool up = true;       // false: it shows nothing now (LCDd not reached, monitor away)
};

class BoardView {
  public:
    virtual ~BoardView() = default;

    // Shows board from now on; called at every change, and once when the view is added.
    virtual void Show(const Board& board) = 0;

    // How it is doing now.
    virtual OutputState Health() const = 0;

  protected:
    BoardView() = default;
    BoardView(const BoardView&) = default;
    BoardView& operator=(const BoardView&) = default;
};

}  // namespace display

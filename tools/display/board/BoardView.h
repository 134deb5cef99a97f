#pragma once
// What every output of the display is to the board: a view that is handed the whole board at
// each change (the window, the full-screen window, each LCDd link, the web page). A view works
// out for itself what it must redraw, and knows no other view.

#include "Message.h"

namespace display {

class BoardView {
  public:
    virtual ~BoardView() = default;

    // Shows board from now on; called at every change, and once when the view is added.
    virtual void Show(const Board& board) = 0;

  protected:
    BoardView() = default;
    BoardView(const BoardView&) = default;
    BoardView& operator=(const BoardView&) = default;
};

}  // namespace display

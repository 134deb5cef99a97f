#pragma once
// The display's window: the plain text large in the current colour, the scrolling text as a
// marquee along the bottom, the register's name in the top-left corner, on black. It only
// draws a Board; the marquee's timer runs only while there is a scrolling text.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "Message.h"

namespace display {

class Screen : public QWidget {
    Q_OBJECT

  public:
    explicit Screen(QWidget* parent = nullptr);

    // Shows the board from now on.
    void Show(const Board& board);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Board board_;
    QString text_;
    QString scroll_;
    QString registerName_;
    QTimer marquee_;
    QElapsedTimer scrollClock_;
};

}  // namespace display

#pragma once
// The display's window: the plain text as large as fits in the current colour (wrapped at
// spaces, each line break starting a new line), the scrolling text as a marquee along the bottom,
// the register's name in the top-left corner, all in the board's colour on its backdrop (black,
// or white behind the colours too dark to read on black; see Backdrop). It only draws a Board;
// the marquee's timer runs only while there is a scrolling text.
//
// A text may be 64 KiB long, and the marquee repaints 30 times a second: each text is laid out
// once when it or the window's size changes, never per frame.

#include <QElapsedTimer>
#include <QFont>
#include <QPainterPath>
#include <QSize>
#include <QStaticText>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "board/BoardView.h"
#include "board/Message.h"

namespace display {

class Screen : public QWidget, public BoardView {
    Q_OBJECT

  public:
    explicit Screen(QWidget* parent = nullptr);

    // Shows the board from now on.
    void Show(const Board& board) override;
    OutputState Health() const override;

    // How many times a text (the plain text or the scrolling one) was laid out so far.
    int Layouts() const { return layouts_; }
    // The plain text as last drawn: its font's pixel size and its number of lines.
    int TextPixelSize() const { return textPixelSize_; }
    int TextLines() const { return textLines_; }

    // The text as large as fits the area, wrapped at spaces (a number keeps its currency sign
    // or unit on its line), each of its own lines (CR, LF or CRLF) starting a new one, centred.
    struct TextShape {
        QPainterPath path;
        int pixelSize = 0;
        QStringList lines;
    };
    static TextShape FitText(const QFont& base, const QString& text, const QRectF& area);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Board board_;
    QString text_;
    QString scroll_;
    QString registerName_;
    QTimer marquee_;
    QElapsedTimer scrollClock_;

    // The plain text's outline, for the size it was made for (empty size: to be made).
    QPainterPath textPath_;
    int textPixelSize_ = 0;
    int textLines_ = 0;
    QSize textPathFor_;
    // The scrolling text laid out in its font, for the band height it was made for.
    QStaticText marqueeText_;
    QFont marqueeFont_;
    int marqueeFor_ = -1;
    int layouts_ = 0;
};

}  // namespace display

#pragma once
// The display's window: the plain text (or the sale and its total) as large as fits in the
// current colour (wrapped at spaces, each line break starting a new line), the scrolling text as
// a marquee in a band along the bottom, the register's name as a header along the top, each
// part where board/Regions.h puts it, all in the board's colour on its backdrop (black,
// or white behind the colours too dark to read on black; see Backdrop). A QR code, when the
// board has one, takes its place in the text's region (QrPanel). While nobody buys it shows
// the shop's logo above the welcome text, or one of its pictures in the text's place. When told
// to, it shows the display page's address in a corner for a tablet to scan (PairingCorner),
// except while the board shows a payment code: one code at a time. It only draws a Board; the
// marquee's timer runs only while there is a scrolling text.
//
// A text may be 64 KiB long, and the marquee repaints 30 times a second: each text is laid out
// once when it or the window's size changes, never per frame. The large text is fitted and
// drawn on a thread of its own (TextLayer), so a paint of the window only puts its image on
// the screen; until the image of a new text is ready, the one before stays.

#include <QElapsedTimer>
#include <QFont>
#include <QSize>
#include <QStaticText>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "PairingCorner.h"
#include "QrPanel.h"
#include "TextLayer.h"
#include "board/Board.h"
#include "board/BoardView.h"
#include "board/Palette.h"
#include "board/Regions.h"

namespace display {

class BoardWindow : public QWidget, public BoardView {
    Q_OBJECT

  public:
    explicit BoardWindow(QWidget* parent = nullptr);

    // Where the window gets the shop's pictures (PNG or JPEG bytes) by their names; without
    // it, or for a name it does not know, the window shows the text alone.
    using PictureSource = std::function<QByteArray(const std::string& name)>;
    void SetPictureSource(PictureSource source) { pictureSource_ = std::move(source); }

    // Shows the board from now on.
    void Show(const Board& board) override;
    OutputState Health() const override;

    // How many times a text (the plain text or the scrolling one) was laid out so far.
    int Layouts() const { return layouts_; }
    // Where the picture shows now, in the window; empty when none does.
    QRect PictureShown() const;
    // The plain text as last drawn: its font's pixel size and its lines (a sale's row as its
    // item, a TAB and its amount).
    int TextPixelSize() const { return textPixelSize_; }
    const QStringList& TextLines() const { return textLines_; }
    // Where the board's QR code and its caption go now (QrPanel).
    QrPanel::Placement CodePlacement() const { return TextPlacement(); }
    // The window shows the image of its current text (true at once when there is no text).
    bool TextDrawn() const;

    // For a window that shows another display's board (--follow): whether that board is out
    // of reach now, and what it waits for ("http://127.0.0.1:8080/"). While it is, a small
    // dark red mark shows in the top-right corner, as on the page; and until a first board
    // has come, a line says what the window waits for instead of a blank screen.
    void ShowLinkLost(bool lost, const QString& waitingFor);
    bool LinkLost() const { return linkLost_; }

    // The display page's address to show in the corner from now on ("http://192.168.1.20:8080/"),
    // or empty for none.
    void ShowPairing(const QString& url);
    // Where the corner's card and code are now; an empty placement when none shows.
    PairingCorner::Placement PairingPlacement() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Board board_;
    QString text_;
    QString total_;
    QString scroll_;
    QString registerName_;
    QByteArray picture_;  // the board's picture's bytes, or empty
    PictureSource pictureSource_;
    QTimer marquee_;
    QElapsedTimer scrollClock_;

    int ColourIndex() const;
    // Whether the text's region shows anything: a text, a total or a picture.
    bool ShowsLarge() const;
    // Where the header, the text and the band go now (board/Regions.h).
    Regions Layout() const;
    // The text's region, and in it where the QR code, its caption and the text go.
    QrPanel::Placement TextPlacement() const;
    TextLayer::Request TextRequest() const;
    // Asks the layer for the current text's image, unless it was asked for already.
    void AskForText();
    // Shows drawn, unless a newer image was asked for since, and paints where the texts before
    // and after are.
    void TakeText(const TextLayer::Drawn& drawn);

    // The plain text: the last request for its image, and the image shown.
    std::optional<TextLayer::Request> asked_;
    TextLayer::Drawn shown_;
    int textPixelSize_ = 0;
    QStringList textLines_;
    // The scrolling text laid out in its font, for the band height it was made for.
    QStaticText marqueeText_;
    QFont marqueeFont_;
    int marqueeFor_ = -1;
    int layouts_ = 0;
    QrPanel qr_;
    PairingCorner pairing_;
    bool linkLost_ = false;
    bool everLinked_ = false;
    QString waitingFor_;
    TextLayer textLayer_;  // last: its thread ends before the rest goes
};

}  // namespace display

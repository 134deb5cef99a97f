#pragma once
// The board laid out on a character display driven by LCDd, and the protocol lines that put
// it there, in plain C++ (no Qt, no socket), so each line can be tested for each board and size.
//
// One screen, "afficheur", in the foreground with no heartbeat mark, one string widget per
// line, its lines given from the bottom:
//   the last line       the register's name, when it is set (3 lines or more);
//   the line above it   the scrolling text, when it is set (the last line on 2 lines);
//   every line left     the text (at least one), centred, from the top.
// A 1-line display shows the text only. A text that holds a TAB, or a board with a total, is
// a sale: it takes the lines it needs from the bottom, its total (and change due) last and its
// latest items above, and a TAB splits a line into its item on the left and its amount ending
// in the last column, the item cut to leave one blank before it. The lines a sale leaves keep
// the scrolling text (the one just above the sale) and the register's name (the one above
// that).
// A line break in the text starts a new line; the
// text is word-wrapped, a number kept with the currency sign or unit after it ("23,70 EUR"),
// and its wrapped lines past those it has join its last line with a space (a word longer than
// a line leaves the text's own lines unwrapped, joined so). A line too long for the display is a
// marquee that the program steps itself (LCDd's scroller starts anywhere): its beginning first,
// held about 2 s, then one character left per step until its end has shown, held again, and from
// the beginning. Colour has no place on a character display. Commands are returned without their
// line feed; texts come in already converted to the display's character set (see LcdText.h),
// the text's lines separated by '\n' and a sale line's amount after a TAB, and are quoted here.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace display {

inline constexpr std::string_view kLcdScreenId = "afficheur";

// A marquee's step, 4 characters a second, readable from across a counter; and the steps it
// holds still at its beginning and at its end.
inline constexpr int kLcdMarqueeStepMs = 250;
inline constexpr int kLcdMarqueeHoldSteps = 8;

struct LcdSize {
    int width = 0;   // characters per line
    int height = 0;  // lines
    friend bool operator==(const LcdSize&, const LcdSize&) = default;
};

// The display's size from LCDd's answer to "hello", such as
// "connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 2 cellwid 5 cellhgt 8". Nothing when the
// line is not a connect answer or names no width or height from 1 to 256.
std::optional<LcdSize> ParseConnect(std::string_view line);

// What the display shows, each text already in the display's character set.
struct LcdTexts {
    std::string text;
    std::string scroll;
    std::string registerName;
    std::string total;  // the sale's total and change due, "LABEL<TAB>AMOUNT" a line
};

// One widget of the screen: its id, its LCDd type and the arguments of its widget_set after
// the screen and widget ids (position, then the quoted text).
struct LcdWidget {
    std::string id;
    std::string type;
    std::string arguments;
    friend bool operator==(const LcdWidget&, const LcdWidget&) = default;
};

// The whole content of each line of a display of this size, top first (see above): a line may
// be longer than the display is wide. Text lines come centred.
std::vector<std::string> BoardLines(const LcdTexts& texts, LcdSize size);

// What a line of a display width wide shows at a marquee's step (0 when its text changed):
// the line itself when it fits, else the window on it that the marquee has reached.
std::string MarqueeWindow(const std::string& line, int width, int step);

// Whether any line of the board is a marquee, which the link then steps.
bool HasMarquee(const LcdTexts& texts, LcdSize size);

// The widgets that show the texts on a display of this size at a marquee's step, one per line
// ("l1", "l2", ...).
std::vector<LcdWidget> Layout(const LcdTexts& texts, LcdSize size, int step = 0);

// The commands that set the screen up on a fresh connection, after "hello": the client's
// name, the screen and its attributes, and one widget_add per widget.
std::vector<std::string> SetupCommands(const std::vector<LcdWidget>& widgets);

// One widget_set for each widget of now that is not the same in before (all of them when
// before is empty): only what changed goes to LCDd again.
std::vector<std::string> WidgetSets(const std::vector<LcdWidget>& before,
                                    const std::vector<LcdWidget>& now);

}  // namespace display

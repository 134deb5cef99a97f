#pragma once
// The board laid out on a character display driven by LCDd, and the protocol lines that put
// it there, in plain C++ (no Qt, no socket), so each line can be tested for each board and size.
//
// One screen, "afficheur", in the foreground with no heartbeat mark, holding:
//   line 1            the plain text, centred; a text longer than the line scrolls (marquee);
//   line 2            the scrolling text as a marquee, blank when empty (2 lines or more);
//   the last line     the register's name (3 lines or more).
// A 1-line display shows the plain text only. Colour has no place on a character display.
// Commands are returned without their line feed; texts come in already converted to the
// display's character set (see LcdText.h) and are quoted here.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace display {

inline constexpr std::string_view kLcdScreenId = "afficheur";

// Frames LCDd waits between two steps of a marquee (it draws 8 frames a second): 2 gives
// 4 characters a second, readable from across a counter.
inline constexpr int kLcdMarqueeSpeed = 2;

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
};

// One widget of the screen: its id, its LCDd type and the arguments of its widget_set after
// the screen and widget ids (position, then the quoted text).
struct LcdWidget {
    std::string id;
    std::string type;
    std::string arguments;
    friend bool operator==(const LcdWidget&, const LcdWidget&) = default;
};

// The widgets that show the texts on a display of this size, in a fixed order for the size.
std::vector<LcdWidget> Layout(const LcdTexts& texts, LcdSize size);

// The commands that set the screen up on a fresh connection, after "hello": the client's
// name, the screen and its attributes, and one widget_add per widget.
std::vector<std::string> SetupCommands(const std::vector<LcdWidget>& widgets);

// One widget_set for each widget of now that is not the same in before (all of them when
// before is empty): only what changed goes to LCDd again.
std::vector<std::string> WidgetSets(const std::vector<LcdWidget>& before,
                                    const std::vector<LcdWidget>& now);

}  // namespace display

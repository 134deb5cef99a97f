#pragma once
// afficheur-display's configuration file (--config FILE): one option per line, named as the
// long option is, without its dashes:
//
//   # the shop's display
//   listen = 0.0.0.0:9100
//   welcome = Bienvenue chez nous
//   headless
//
// A value is the rest of the line after '=', blanks around it dropped, so blanks inside need
// no quoting; one pair of double quotes around it is dropped too (for blanks at its ends).
// '#' or ';' starts a comment line; blank lines are passed over. A UTF-8 byte-order mark at the
// start (as some editors write) is passed over too. An option that may repeat (lcdproc, allow)
// is given several times; any other option that takes a value may be given once. Plain C++,
// no Qt.

#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace display {

// Whether an option takes a value, and whether that value may be left out (lcdproc, http:
// the line "http" alone asks for the default).
struct OptionValue {
    bool takes = false;
    bool mayBeLeftOut = false;
    bool repeatable = false;  // each line counts (--allow, --lcdproc)
    // From a bool: takes a value, or not.
    constexpr OptionValue(bool takesValue, bool leftOut = false,  // NOLINT: a bool reads well
                          bool mayRepeat = false)
        : takes(takesValue), mayBeLeftOut(leftOut), repeatable(mayRepeat) {}
};

// Each option the program takes, by long name.
using OptionNames = std::map<std::string, OptionValue, std::less<>>;

struct ConfigError {
    std::string why;  // "FILE:LINE: ..." or "FILE: ..."
};

// The file's options as command-line arguments ("--listen=0.0.0.0:9100", "--headless"), in
// the file's order, or the first thing wrong with it (an unknown option, a value missing or
// given to a switch, an option that takes one value given twice, --config itself). file
// names it in the errors.
std::variant<std::vector<std::string>, ConfigError> ConfigArguments(std::string_view text,
                                                                    const std::string& file,
                                                                    const OptionNames& known);

}  // namespace display

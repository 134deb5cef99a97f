#pragma once
// One row per option of a program: everything the command line, the configuration file,
// --help and the man page's OPTIONS section need to know of it. Options is the value the
// options are read into; its default-constructed value holds every default, each at its field
// (as LevelDB's options.h states each default once), and the rows show a default from there.
// Plain C++, no Qt.
//
// In help and man, "{default}" stands for what shown() gives of the defaults (the value an
// option takes when given alone, for those that have one).

#include <span>
#include <string>
#include <string_view>

#include "ConfigFile.h"

namespace display {

template <typename Options>
struct OptionSpec {
    std::string_view name;   // the long name, without its dashes
    std::string_view value;  // the value's name ("ADDR:PORT"); empty for a switch
    std::string_view help;   // --help's text
    std::string_view man;    // the man page's paragraph, troff
    // Reads one value into options (a switch gets an empty one; a repeatable option each of
    // its values in turn): empty, or the reason the value is refused, one line for the user.
    std::string (*read)(std::string_view value, Options& options);
    // The default, as help and man show it: empty when there is none to show.
    std::string (*shown)(const Options& defaults) = nullptr;
    bool repeatable = false;     // each time it is given counts
    std::string_view leftOut{};  // the value it takes when given alone (--http); empty: none
    bool inConfigFile = true;    // a configuration file may give it
};

// text with "{default}" replaced by row's default.
template <typename Options>
std::string WithDefault(std::string_view text, const OptionSpec<Options>& row,
                        const Options& defaults) {
    std::string out(text);
    const std::string shown = row.shown != nullptr ? row.shown(defaults) : std::string(row.leftOut);
    for (std::size_t at = out.find("{default}"); at != std::string::npos;
         at = out.find("{default}", at + shown.size()))
        out.replace(at, 9, shown);
    return out;
}

// What the configuration file may name, from the rows.
template <typename Options>
OptionNames ConfigNames(std::span<const OptionSpec<Options>> rows) {
    OptionNames names;
    for (const auto& row : rows) {
        if (!row.inConfigFile) continue;
        names.insert_or_assign(
            std::string(row.name),
            OptionValue(!row.value.empty(), !row.leftOut.empty(), row.repeatable));
    }
    return names;
}

// The troff of the man page's OPTIONS paragraphs, one per row in order: the option and its
// value as the tag, then its man text.
template <typename Options>
std::string ManOptions(std::span<const OptionSpec<Options>> rows, const Options& defaults) {
    const auto escaped = [](std::string_view text) {
        std::string out;
        for (const char c : text) {
            if (c == '-') out += '\\';
            out += c;
        }
        return out;
    };
    std::string out;
    for (const auto& row : rows) {
        out += ".TP\n";
        const std::string option = "\\-\\-" + escaped(row.name);
        if (row.value.empty()) {
            out += ".B " + option + "\n";
        } else if (!row.leftOut.empty()) {
            out += ".BR " + option + " \" [\\fI" + std::string(row.value) + "\\fR]\"\n";
        } else {
            out += ".BI " + option + " \" " + std::string(row.value) + "\"\n";
        }
        out += WithDefault(row.man, row, defaults);
        if (out.back() != '\n') out += '\n';
    }
    return out;
}

}  // namespace display

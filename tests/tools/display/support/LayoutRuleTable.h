#pragma once
// The layout rule as one table: each row a board, and what each output shows of it. The same rows
// are checked on a character display (lcd/LcdTest: the lines LCDd is given at 20x2 and 20x4,
// through the ASCII conversion, a marquee at its first frame), in the window
// (window/BoardWindowTest, offscreen) and on the page (program/WebBrowserTest, in Chromium). The
// window and the page wrap a text at their own sizes, so for them the row gives what the rule holds
// at any size: the text's words in order, each of its own lines starting a line, an amount never
// split from its currency sign, a sale's rows exactly; the register's name and the scrolling text
// shown only when set; the board's colour on the backdrop the rule gives it.

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "board/Board.h"

namespace ruletable {

struct Row {
    const char* name;
    display::Board board;  // texts in UTF-8
    std::vector<std::string> lcd20x2;
    std::vector<std::string> lcd20x4;
};

inline const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {"a short text alone",
         {"Bonjour", "", "", 15, ""},
         {"      Bonjour", ""},
         {"      Bonjour", "", "", ""}},
        {"a line break, the scrolling text and the register's name",
         {"Caf\xC3\xA9 cr\xC3\xA8me\r\n2,40 \xE2\x82\xAC", "Soldes", "Caisse 1", 14, ""},
         {"Cafe creme 2,40 EUR", "Soldes"},
         {"     Cafe creme", "      2,40 EUR", "Soldes", "Caisse 1"}},
        {"short lines stay apart where one line would be larger",
         {"Oui\nNon", "", "", 13, ""},
         {"        Oui", "        Non"},
         {"        Oui", "        Non", "", ""}},
        {"a long text wraps at spaces",
         {"Soldes d'\xC3\xA9t\xC3\xA9 sur tout le magasin jusqu'\xC3\xA0 samedi soir", "", "", 10,
          ""},
         // On two lines, what the second cannot hold joins it, as a marquee.
         {"  Soldes d'ete sur", "tout le magasin jusq"},
         {"  Soldes d'ete sur", "  tout le magasin", "jusqu'a samedi soir", ""}},
        {"an amount keeps its currency sign",
         {"Total \xC3\xA0 payer 23,70 \xE2\x82\xAC", "", "Caisse 1", 11, ""},
         {"   Total a payer", "     23,70 EUR"},
         {"   Total a payer", "     23,70 EUR", "", "Caisse 1"}},
        {"a sale: items left, amounts right",
         {"Caf\xC3\xA9 cr\xC3\xA8me\t2,40 \xE2\x82\xAC\nTOTAL\t23,70 \xE2\x82\xAC", "Merci",
          "Caisse 1", 15, ""},
         // A sale takes the lines it needs from the bottom; those it leaves keep the
         // scrolling text and the register's name.
         {"Cafe creme  2,40 EUR", "TOTAL      23,70 EUR"},
         {"Caisse 1", "Merci", "Cafe creme  2,40 EUR", "TOTAL      23,70 EUR"}},
        {"a sale and its total: the total on the last line, the latest items above",
         {"Caf\xC3\xA9\t2,40 \xE2\x82\xAC\nPain\t1,10 \xE2\x82\xAC\nLait\t0,95 \xE2\x82\xAC",
          "Merci", "Caisse 1", 15, "TOTAL\t4,45 \xE2\x82\xAC"},
         {"Lait        0,95 EUR", "TOTAL       4,45 EUR"},
         {"Cafe        2,40 EUR", "Pain        1,10 EUR", "Lait        0,95 EUR",
          "TOTAL       4,45 EUR"}},
        {"a total alone, with the change due",
         {"", "Merci", "Caisse 1", 15, "TOTAL\t23,70 \xE2\x82\xAC\nRendu\t6,30 \xE2\x82\xAC"},
         {"TOTAL      23,70 EUR", "Rendu       6,30 EUR"},
         {"Caisse 1", "Merci", "TOTAL      23,70 EUR", "Rendu       6,30 EUR"}},
        {"a dark colour on its light plate",
         {"Merci", "", "Caisse 2", 1, ""},
         {"       Merci", ""},
         {"       Merci", "", "", "Caisse 2"}},
        // Blanks alone: no ink on the page or in the window; centred like any text.
        {"blanks only",
         {"   ", "", "", 15, ""},
         {std::string(11, ' '), ""},
         {std::string(11, ' '), "", "", ""}},
        {"the scrolling text alone, too long for a line",
         {"",
          "Bienvenue chez nous, bonne journ\xC3\xA9"
          "e",
          "", 12, ""},
         {"", "Bienvenue chez nous,"},
         {"", "", "", "Bienvenue chez nous,"}},
    };
    return rows;
}

// The text an output lays out for a board: its text, and its total's rows after it.
inline std::string SaleText(const display::Board& board) {
    if (board.total.empty()) return board.text;
    return board.text.empty() ? board.total : board.text + "\n" + board.total;
}

namespace detail {

inline std::vector<std::string> Split(const std::string& text, const std::string& separators) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || separators.find(text[i]) != std::string::npos) {
            parts.push_back(part);
            part.clear();
            // CRLF is one line break.
            if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        } else {
            part += text[i];
        }
    }
    return parts;
}

// The words of a line: split at blanks, a no-break space being one.
inline std::vector<std::string> Words(std::string line) {
    for (std::size_t at = line.find("\xC2\xA0"); at != std::string::npos;
         at = line.find("\xC2\xA0", at))
        line.replace(at, 2, " ");
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

}  // namespace detail

// What breaks the rule in the lines an output shows of a text (top first; a sale's row as its
// item, a TAB and its amount), at whatever size it wrapped them; empty when nothing does.
inline std::string BreaksTheRule(const std::string& text, const std::vector<std::string>& shown) {
    const std::vector<std::string> own =
        text.empty() ? std::vector<std::string>{} : detail::Split(text, "\r\n");
    if (text.find('\t') != std::string::npos) {
        // A sale: one row per line, its first TAB between item and amount, others a blank.
        std::vector<std::string> rows;
        for (std::string line : own) {
            const std::size_t tab = line.find('\t');
            if (tab != std::string::npos)
                std::replace(line.begin() + static_cast<std::ptrdiff_t>(tab) + 1, line.end(), '\t',
                             ' ');
            rows.push_back(line);
        }
        return shown == rows ? "" : "the sale's rows are not one per line, item TAB amount";
    }
    // The words, in order, and the index of the word each shown line starts with.
    std::vector<std::string> words;
    std::vector<std::size_t> starts;
    for (const std::string& line : shown) {
        const auto lineWords = detail::Words(line);
        if (lineWords.empty()) continue;
        starts.push_back(words.size());
        words.insert(words.end(), lineWords.begin(), lineWords.end());
    }
    std::vector<std::string> expected;
    std::vector<std::size_t> ownStarts;
    for (const std::string& line : own) {
        const auto lineWords = detail::Words(line);
        if (lineWords.empty()) continue;
        if (std::find(starts.begin(), starts.end(), expected.size()) == starts.end())
            return "its own line \"" + line + "\" does not start a line";
        ownStarts.push_back(expected.size());
        expected.insert(expected.end(), lineWords.begin(), lineWords.end());
    }
    if (words != expected) return "the words shown are not the text's, in order";
    for (std::size_t i = 1; i < starts.size(); ++i) {
        // A wrap, not one of the text's own line breaks, may not split an amount.
        if (std::find(ownStarts.begin(), ownStarts.end(), starts[i]) != ownStarts.end()) continue;
        const std::string& first = words[starts[i]];
        const std::string& before = words[starts[i] - 1];
        static const std::vector<std::string> units = {
            "\xE2\x82\xAC", "EUR", "$", "\xC2\xA3", "%", "kg", "g", "l", "cl", "ml"};
        const bool unit = std::find(units.begin(), units.end(), first) != units.end();
        if (unit && !before.empty() && std::isdigit(static_cast<unsigned char>(before.back())))
            return "an amount is split from its \"" + first + "\"";
    }
    return "";
}

}  // namespace ruletable

// Writes afficheur-display's man page from its source (the version already filled in) with its
// SYNOPSIS and OPTIONS made from the option table, so that the page cannot drift from the
// options the program takes. Run at build: afficheur-display-man SOURCE PAGE. Each of the two
// sections is a line of its own in the source, a troff comment:
//   .\" synopsis: made from the option table
//   .\" options: made from the option table

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "options/DisplayOptions.h"

namespace {

constexpr const char* kSynopsisMark = ".\\\" synopsis: made from the option table";
constexpr const char* kOptionsMark = ".\\\" options: made from the option table";

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '-') out += '\\';
        out += c;
    }
    return out;
}

// ".RB [ \-\-listen" / ".IR ADDR:PORT ]" for each option, "..." after a repeatable one.
std::string Synopsis() {
    std::string out = ".B afficheur\\-display\n";
    for (const auto& row : display::DisplayOptionTable()) {
        const std::string name = "\\-\\-" + Escaped(row.name);
        const std::string more = row.repeatable ? "..." : "";
        if (row.value.empty()) {
            out += ".RB [ " + name + " ]" + more + "\n";
        } else if (!row.leftOut.empty()) {
            out += ".RB [ " + name + "\n.RI [ " + std::string(row.value) + " ]]" + more + "\n";
        } else {
            out += ".RB [ " + name + "\n.IR " + std::string(row.value) + " ]" + more + "\n";
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: afficheur-display-man SOURCE PAGE\n", stderr);
        return 2;
    }
    std::ifstream source(argv[1]);
    if (!source) {
        std::fprintf(stderr, "afficheur-display-man: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream page;
    int marks = 0;
    for (std::string line; std::getline(source, line);) {
        if (line == kSynopsisMark) {
            page << Synopsis();
            ++marks;
        } else if (line == kOptionsMark) {
            page << display::ManOptions(display::DisplayOptionTable(), display::DisplayOptions{});
            ++marks;
        } else {
            page << line << '\n';
        }
    }
    if (marks != 2) {
        std::fprintf(stderr, "afficheur-display-man: %s lacks the synopsis or options line\n",
                     argv[1]);
        return 1;
    }
    std::ofstream out(argv[2]);
    out << page.str();
    return out.good() ? 0 : 1;
}

// Writes afficheur-send's man page from its source (the version already filled in), its
// options made from the option table, so that the page cannot drift from the options the
// command takes. Run at build: afficheur-send-man SOURCE PAGE; the options go where the source
// has the line
//   .\" options: made from the option table

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "SendOptions.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: afficheur-send-man SOURCE PAGE\n", stderr);
        return 2;
    }
    std::ifstream source(argv[1]);
    if (!source) {
        std::fprintf(stderr, "afficheur-send-man: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream page;
    bool marked = false;
    for (std::string line; std::getline(source, line);) {
        if (line == ".\\\" options: made from the option table") {
            page << sender::SendManOptions();
            marked = true;
        } else {
            page << line << '\n';
        }
    }
    if (!marked) {
        std::fprintf(stderr, "afficheur-send-man: %s lacks the options line\n", argv[1]);
        return 1;
    }
    std::ofstream out(argv[2]);
    out << page.str();
    return out.good() ? 0 : 1;
}

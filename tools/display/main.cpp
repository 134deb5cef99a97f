// afficheur-display: the customer display. Takes the whole content of each connection as one
// message and shows the board it makes in a window (or full-screen on the customer's monitor),
// on pole displays and LCDs through LCDd, and as a live web page; with --log it writes one
// JSON line per message on stdout. Its steps: the options read into a value, the board and
// its outputs made, the event loop run, the board saved on the way out.

#include <QApplication>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "DisplayProgram.h"
#include "common/Log.h"
#include "options/DisplayOptions.h"
#include "service/QuitOnSignals.h"

int main(int argc, char** argv) {
    // A log reader that goes away (`| head -n1`) must not end the display: the failed write
    // is noticed instead, and logging stops.
    std::signal(SIGPIPE, SIG_IGN);

    auto parsed = display::ParseOptions(std::vector<std::string>(argv, argv + argc));
    if (const auto* exit = std::get_if<display::OptionsExit>(&parsed)) {
        if (exit->toStdout) {
            std::fputs(exit->text.c_str(), stdout);
        } else {
            LogLine(exit->text);
        }
        return exit->status;
    }
    auto& options = std::get<display::DisplayOptions>(parsed);
    if (display::LacksDisplayServer(options)) {
        LogLine(
            "no display server (DISPLAY is not set): start with --headless to run without "
            "a window");
        return EXIT_FAILURE;
    }

    const bool window = options.window;
    std::unique_ptr<QCoreApplication> app = window ? std::make_unique<QApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("afficheur-display"));

    display::DisplayProgram program(std::move(options));
    if (const int refused = program.Start(); refused != EXIT_SUCCESS) return refused;
    // SIGTERM and SIGINT end the loop, so the last board is saved on the way out.
    const display::QuitOnSignals quitOnSignals;
    const int status = app->exec();
    program.Stop();
    return status;
}

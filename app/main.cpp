// afficheur: starts Form1, the window beside the cash register, and runs until it closes.
//
// There is no configuration besides the settings file: --version and --help print and exit,
// any other argument is ignored with one log line. On a Wayland session the window runs
// through XWayland (Qt's xcb platform), since a native Wayland client can neither place
// itself nor stay above other windows; without XWayland it falls back to Wayland, with one
// log line. QT_QPA_PLATFORM, when set, is left as the user chose.

#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "client/Form1.h"
#include "common/Log.h"
#include "winpos/SavePosition.h"

namespace {

const char* const kHelp =
    "Usage: afficheur [--version | --help]\n"
    "\n"
    "The customer-display client: a small always-on-top window whose buttons send short\n"
    "messages to the display. Every setting is in QUORIXaffich.ini, in\n"
    "${XDG_CONFIG_HOME:-$HOME/.config}/afficheur/; set [ecran] ip and port to reach the\n"
    "display. Problems are logged on stderr.\n";

// Prints and returns true for --version and --help; logs and ignores anything else.
bool HandledArguments(int argc, char** argv) {
    for (int n = 1; n < argc; ++n) {
        if (std::strcmp(argv[n], "--version") == 0) {
            std::printf("afficheur %s\n", AFFICHEUR_VERSION);
            return true;
        }
        if (std::strcmp(argv[n], "--help") == 0 || std::strcmp(argv[n], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
    }
    if (argc > 1) {
        std::string ignored;
        for (int n = 1; n < argc; ++n)
            ignored += std::string(n > 1 ? " " : "") + argv[n];
        LogLine("arguments ignored (the settings file holds every setting): " + ignored);
    }
    return false;
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

// On a Wayland session: XWayland when there is an X display, Wayland itself otherwise or
// when that display cannot be reached (Qt tries the listed platforms in turn).
void PreferXWayland() {
    if (!IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return;
    ::setenv("QT_QPA_PLATFORM", IsSet("DISPLAY") ? "xcb;wayland" : "wayland", 1);
}

void SayWhatWaylandCannotDo() {
    if (QGuiApplication::platformName() != "wayland") return;
    LogLine(
        "running as a Wayland client (no X server or XWayland): the window cannot be kept "
        "on top of other windows there, nor put back where it was left");
}

}  // namespace

int main(int argc, char** argv) {
    if (HandledArguments(argc, argv)) return 0;
    PreferXWayland();
    QApplication application(argc, argv);
    QApplication::setApplicationName("afficheur");
    QApplication::setQuitOnLastWindowClosed(true);
    SayWhatWaylandCannotDo();
    // The window carries one position keeper, which brings it back where it was left.
    client::Form1 form(
        [](host::UserControlSite& site) { return std::make_unique<winpos::SavePosition>(site); });
    form.show();
    return QApplication::exec();
}

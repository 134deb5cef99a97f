#pragma once
// afficheur-display's command line (and configuration file) read into one value, before
// anything starts: every option, its default and its errors live here, so they are tested in
// process.

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "board/BoardKeeper.h"
#include "input/Receiver.h"
#include "lcd/LcdText.h"
#include "lcd/LcdprocLink.h"
#include "mqtt/BrokerOptions.h"
#include "options/OptionSpec.h"
#include "protocol/Wire.h"
#include "shared/AllowList.h"
#include "web/WebLimits.h"

namespace display {

struct ListenAddress {
    QHostAddress address;
    quint16 port = 0;
    QString text;  // as given, for messages
};

// Where messages are taken by default: this machine only.
inline ListenAddress DefaultListen() {
    return {QHostAddress(QHostAddress::LocalHost), 9100, QStringLiteral("127.0.0.1:9100")};
}

// One pole display or LCD behind LCDd, and its character set.
struct LcdOutput {
    LcdprocEndpoint endpoint;
    std::string charset;
};

// Every option's value; a default-constructed one holds every default (the option table shows
// them from here, and nowhere else states them).
struct DisplayOptions {
    ListenAddress listen = DefaultListen();
    bool log = false;
    bool window = true;  // not --headless
    Limits limits;
    AllowList allowed;
    protocol::Encoding encoding = protocol::Encoding::Windows1252;
    std::string lcdCharset = kDefaultLcdCharset;  // for each --lcdproc that names none
    std::vector<LcdOutput> lcds;
    bool fullscreen = false;
    QString screen;                     // --screen as given; empty: the rule's default
    std::optional<ListenAddress> http;  // the web page
    QStringList httpHosts;
    AllowList httpAllowed;  // who may follow the page; empty: everyone
    WebLimits webLimits;
    Keeping keeping;             // the state file, the restore rule and the welcome text
    bool stateGiven = false;     // --state named the file
    std::optional<QUrl> follow;  // a followed display's page: no receiver of its own
    QString logo;                // the shop's logo; empty: none
    QString pictures;            // the folder of the shop's pictures; empty: none
    BrokerOptions mqtt;          // the broker; mqtt.url empty: none
};

// How the program ends instead of running: --help and --version (text for stdout, status 0), an
// unknown option (status 1) or a bad value (status 2), with text for stderr.
struct OptionsExit {
    int status = 0;
    std::string text;
    bool toStdout = false;
};

// The program's options, one row each: the command line, the configuration file, --help and
// the man page's OPTIONS section come from them.
std::span<const OptionSpec<DisplayOptions>> DisplayOptionTable();

// Reads arguments (the program's name first): the configuration file that --config names
// first, then the command line, whose options win. The state file's default folder comes from
// the environment (see DefaultStatePath).
std::variant<DisplayOptions, OptionsExit> ParseOptions(const std::vector<std::string>& arguments);

// Whether a window is wanted and the machine has no display server to show it on.
bool LacksDisplayServer(const DisplayOptions& options);

}  // namespace display

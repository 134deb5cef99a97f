#pragma once
// afficheur-send's command line as a value: the messages to send, in order, and where and how
// to send them. Parsing does no input or output beyond reading standard input for "-" (no
// further than a text a display keeps), so it is tested in process.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/Wire.h"

namespace sender {

// The exit statuses the command documents.
inline constexpr int kExitDelivered = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnrepresentable = 3;
inline constexpr int kExitNotDelivered = 4;

// The most a display keeps of one message; a longer text is refused rather than cut.
inline constexpr std::size_t kMaxTextBytes = 64 * 1024;

struct Outgoing {
    protocol::Kind kind = protocol::Kind::Text;
    std::string text;  // UTF-8, as given
};

struct Endpoint {
    std::string host;  // a name or an address, without brackets
    int port = 0;
};

struct SendOptions {
    std::vector<Outgoing> messages;
    std::optional<Endpoint> to;           // --to; otherwise the settings file's [ecran]
    std::optional<std::string> settings;  // --settings FILE; otherwise the user's own file
    protocol::Encoding encoding = protocol::Encoding::Windows1252;
    bool transliterate = false;
    int timeoutMs = 3000;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string why;
};

// Reads standard input (for the argument "-"): up to limit bytes, fewer only when it ends
// before.
using ReadInput = std::string (*)(std::size_t limit);

// The options of argv[1..], or what is wrong with them. Consecutive --line options make one
// message: "LEFT<TAB>RIGHT" lines joined by line feeds; --total makes a total message after
// them (and --change adds the change due to it).
std::variant<SendOptions, UsageError> ParseSendOptions(const std::vector<std::string>& args,
                                                       ReadInput readInput);

class SendOptionsBuilder;

// One option, one row: its name (and another spelling), the names of the values it takes
// (none, one, or two: "TEXT AMOUNT"), its line in --help, its paragraph in the man page
// (troff), and what it does to the parse. --help and the man page's options come from the
// rows; a new option is a row.
struct SendOptionRow {
    std::string_view name;
    std::string_view alias;
    std::string_view values;
    std::string_view help;
    std::string_view man;
    void (*read)(SendOptionsBuilder& builder, const std::vector<std::string>& values);
};

std::span<const SendOptionRow> SendOptionTable();

// The --help text.
std::string SendUsage();

// The man page's paragraphs of the rows (troff).
std::string SendManOptions();

// "HOST:PORT", "[v6]:PORT": a host and a port from 1 to 65535.
std::optional<Endpoint> ParseEndpoint(const std::string& text);

}  // namespace sender

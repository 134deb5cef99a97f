#pragma once
// Where and how the display meets its MQTT broker (--mqtt and the options that go with it),
// the topics it uses there, and the rules their texts follow. Read once, before anything
// starts; plain values and functions, safe from any thread.
//
// Topics, under PREFIX (--mqtt-topic, by default afficheur/HOSTNAME/PORT):
//   PREFIX/set     what the display takes (see SetMessages.h), also GROUP/set for each group
//   PREFIX/state   the board as the page's /state gives it, retained
//   PREFIX/status  "online" while connected, retained; the broker puts "offline" when the
//                  link breaks (the last will), and the display itself when it stops

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace display {

struct BrokerOptions {
    std::string host;                 // a name or an address (an IPv6 one without brackets)
    int port = 0;                     // 1883 for mqtt://, 8883 for mqtts:// when the URL names none
    bool tls = false;                 // mqtts://
    std::string user;                 // empty: no login
    std::string password;             // from --mqtt-password-file, never from the command line
    std::string caFile;               // --mqtt-ca; empty: the system's certificate authorities
    int keepaliveSeconds = 30;        // --mqtt-keepalive
    std::string topic;                // --mqtt-topic; empty until Finish: DefaultTopic
    std::vector<std::string> groups;  // --mqtt-group, each
    std::string url;                  // as given, for log lines
};

// The least and most keep-alive libmosquitto and the protocol take, in seconds.
inline constexpr int kMinKeepaliveSeconds = 5;
inline constexpr int kMaxKeepaliveSeconds = 65535;

// Reads "mqtt://[USER@]HOST[:PORT]" or "mqtts://..." into options: empty on success, else why
// it is refused, one line for the user. A password in the URL is refused: it would show in
// the process list.
std::string ReadBrokerUrl(std::string_view url, BrokerOptions& options);

// The password in a password file's first line (without its line break); nothing, with why in
// *error, when the file cannot be read or its first line is empty. Reads at most 4 KiB.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* error);

// Empty when text names one topic the display may use (no wildcard + or #, no NUL, not empty,
// not starting with $ as the broker's own do, no empty level); otherwise why not.
std::string TopicFault(std::string_view text);

// "afficheur/HOSTNAME/PORT", the host name's characters a topic cannot hold as '_'.
std::string DefaultTopic(std::string_view hostName, int port);

// The broker's name for this display's session: stable across restarts, so that messages
// published while it was away are kept for it, and one per prefix: "afficheur-display:PREFIX".
std::string ClientId(std::string_view prefix);

// The topics the display subscribes to: PREFIX/set, then GROUP/set for each group.
std::vector<std::string> SetTopics(const BrokerOptions& options);

}  // namespace display

#include "Destination.h"

#include <cmath>

#include "common/LeadingNumber.h"
#include "settings/INI32.h"
#include "settings/SettingsFile.h"

namespace sender {

namespace {

constexpr int16_t kReadOnly = 1;

// --settings names a file as a command line does: a bare name is in the working directory.
std::string SettingsArgument(const SendOptions& options) {
    if (!options.settings) return INI32::kClientSettingsFile;
    const std::string& file = *options.settings;
    if (file.find_first_of("/\\") == std::string::npos && !file.empty() && file[0] != '$') {
        return "./" + file;
    }
    return file;
}

}  // namespace

std::variant<Endpoint, UsageError> Destination(const SendOptions& options) {
    if (options.to) return *options.to;
    const std::string file = SettingsArgument(options);
    const std::string where = "set ip and port under [ecran] in " + INI32::SettingsFilePath(file) +
                              ", or give --to HOST:PORT";
    const std::string host = INI32::ProfileSetting("ecran", "ip", "", file, kReadOnly);
    if (host.empty()) return UsageError{"no display address (host is empty); " + where};
    const std::string portText = INI32::ProfileSetting("ecran", "port", "0", file, kReadOnly);
    const double port = LeadingNumber(portText);
    if (!(port >= 1 && port <= 65535) || port != std::floor(port)) {
        return UsageError{"display port " + portText + " is not a whole number in 1-65535; " +
                          where};
    }
    return Endpoint{host, static_cast<int>(port)};
}

}  // namespace sender

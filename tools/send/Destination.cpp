#include "Destination.h"

#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

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

// Refuses a regular file at path larger than any settings file, before anything reads it.
// A missing file, or anything other than a regular file, the settings routine itself treats
// as a file without the setting.
std::optional<UsageError> TooLarge(const std::string& path) {
    std::filesystem::path file;
    try {
        // The path is UTF-8: bytes as they are on Linux, UTF-16 on Windows.
        file = std::filesystem::path(std::u8string(path.begin(), path.end()));
    } catch (const std::exception&) {
        return std::nullopt;  // a name no file of this system can have
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size <= kMaxSettingsBytes) return std::nullopt;
    return UsageError{"settings file " + path + " is " + std::to_string(size) +
                      " bytes, more than the " + std::to_string(kMaxSettingsBytes) +
                      " a settings file may have; it was not read (give the client's "
                      "settings file, or --to HOST:PORT)"};
}

}  // namespace

std::variant<Endpoint, UsageError> Destination(const SendOptions& options) {
    if (options.to) return *options.to;
    const std::string file = SettingsArgument(options);
    const std::string path = INI32::SettingsFilePath(file);
    if (auto refused = TooLarge(path)) return std::move(*refused);
    const std::string where =
        "set ip and port under [ecran] in " + path + ", or give --to HOST:PORT";
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

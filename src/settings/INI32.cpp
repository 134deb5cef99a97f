#include "settings/INI32.h"

#include <array>

#include "common/IgnoringErrors.h"
#include "common/Log.h"
#include "platform/Ansi.h"
#include "platform/Profile.h"
#include "settings/RegistryRoute.h"
#include "settings/SettingsFile.h"

namespace INI32 {
namespace {

constexpr size_t kNameBufferLength = 600;
constexpr platform::DWORD kReadSize = 590;

// A setting's place as the INI services receive it: names and file in the code page.
struct IniPlace {
    std::string section;
    std::string key;
    std::string file;
};

// A name as the INI services receive it: in the code page, cut to the buffer's 600
// characters, and read up to its NUL.
std::string NameBuffer(const std::string& name) {
    std::string buffer = platform::ToAnsi(name);
    if (buffer.size() > kNameBufferLength) buffer.resize(kNameBufferLength);
    return buffer;
}

// The routine's own copy of the value after a trip through the code page and back: a
// character the code page lacks comes back as '?'.
std::string ThroughCodePage(const std::string& text) {
    return platform::FromAnsi(platform::ToAnsi(text));
}

// The INI write of the routine. A value holding a NUL would reach the file cut at the NUL,
// losing the rest without a word, so such a write is refused instead.
void WriteIni(const IniPlace& place, const std::string& value) {
    if (value.find('\0') != std::string::npos) {
        LogLine("refused to write [" + platform::FromAnsi(place.section.c_str()) + "] in " +
                platform::FromAnsi(place.file) + ": the value holds a NUL character");
        return;
    }
    const std::string valueAnsi = platform::ToAnsi(value);
    platform::WritePrivateProfileStringA(place.section.c_str(), place.key.c_str(),
                                         valueAnsi.c_str(), place.file.c_str());
}

// Mode 0: writes value and returns it as the code page keeps it.
std::string WriteMode(const IniPlace& place, std::string value) {
    IgnoringErrors([&] {
        WriteIni(place, value);
        value = ThroughCodePage(value);
    });
    return value;
}

// Modes 1 and 2: returns the text found, or the default (value) where there is none. With
// recordDefault (mode 2) a missing or empty setting gets the default written, and a setting
// equal to the default is written again.
std::string ReadMode(const IniPlace& place, std::string value, bool recordDefault) {
    std::array<char, kNameBufferLength> readBuffer{};
    platform::DWORD count = 0;
    IgnoringErrors([&] {
        const std::string defaultAnsi = platform::ToAnsi(value);
        count = platform::GetPrivateProfileStringA(place.section.c_str(), place.key.c_str(),
                                                   defaultAnsi.c_str(), readBuffer.data(),
                                                   kReadSize, place.file.c_str());
        value = ThroughCodePage(value);
    });

    if (count == 0) {
        if (recordDefault) IgnoringErrors([&] { WriteIni(place, value); });
        return value;
    }
    std::string result;
    IgnoringErrors([&] {
        std::string found = platform::FromAnsi(std::string_view(readBuffer.data(), count));
        result = recordDefault && found == value ? WriteMode(place, value) : std::move(found);
    });
    return result;
}

}  // namespace

std::string ProfileSetting(std::string section, std::string key, std::string value,
                           std::string file, int16_t mode) {
    IgnoringErrors([&] {
        if (file.empty()) file = DefaultSettingsFile();
    });
    IniPlace place;
    IgnoringErrors([&] {
        place.section = NameBuffer(section);
        place.key = NameBuffer(key);
    });

    std::string registryPath;
    IgnoringErrors([&] {
        if (!file.empty() && file.front() == '$') registryPath = file.substr(1);
    });
    if (!registryPath.empty()) return RegistryRoute(registryPath, section, key, value, mode);

    IgnoringErrors([&] { place.file = platform::ToAnsi(file); });
    switch (mode) {
        case 0:
            return WriteMode(place, std::move(value));
        case 2:
            return ReadMode(place, std::move(value), true);
        default:
            return ReadMode(place, std::move(value), false);
    }
}

}  // namespace INI32

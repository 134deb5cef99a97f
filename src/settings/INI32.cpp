#include "settings/INI32.h"

#include <array>

#include "common/Log.h"
#include "platform/Ansi.h"
#include "platform/Application.h"
#include "platform/Profile.h"
#include "settings/RegistryRoute.h"

namespace INI32 {
namespace {

constexpr size_t kNameBufferLength = 600;
constexpr platform::DWORD kReadSize = 590;

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
void WriteIni(const std::string& sectionBuffer, const std::string& keyBuffer,
              const std::string& value, const std::string& fileAnsi) {
    if (value.find('\0') != std::string::npos) {
        LogLine("refused to write [" + platform::FromAnsi(sectionBuffer.c_str()) + "] in " +
                platform::FromAnsi(fileAnsi) + ": the value holds a NUL character");
        return;
    }
    const std::string valueAnsi = platform::ToAnsi(value);
    platform::WritePrivateProfileStringA(sectionBuffer.c_str(), keyBuffer.c_str(),
                                         valueAnsi.c_str(), fileAnsi.c_str());
}

}  // namespace

std::string ProfileSetting(std::string section, std::string key, std::string value,
                           std::string file, int16_t mode) {
    std::string result;
    try {
        if (file.empty()) {
            file = platform::ApplicationFolder() + "\\" + platform::ApplicationName() + ".ini";
        }
    } catch (...) {
    }

    std::string sectionBuffer;
    std::string keyBuffer;
    try {
        sectionBuffer = NameBuffer(section);
        keyBuffer = NameBuffer(key);
    } catch (...) {
    }

    std::string registryPath;
    try {
        if (!file.empty() && file.front() == '$') registryPath = file.substr(1);
    } catch (...) {
    }
    if (!registryPath.empty()) {
        return RegistryRoute(registryPath, section, key, value, mode);
    }

    std::string fileAnsi;
    try {
        fileAnsi = platform::ToAnsi(file);
    } catch (...) {
    }

    if (mode == 0) {
        try {
            WriteIni(sectionBuffer, keyBuffer, value, fileAnsi);
            value = ThroughCodePage(value);
        } catch (...) {
        }
        try {
            result = value;
        } catch (...) {
        }
        return result;
    }

    std::array<char, kNameBufferLength> readBuffer{};
    platform::DWORD count = 0;
    try {
        const std::string defaultAnsi = platform::ToAnsi(value);
        count = platform::GetPrivateProfileStringA(sectionBuffer.c_str(), keyBuffer.c_str(),
                                                   defaultAnsi.c_str(), readBuffer.data(),
                                                   kReadSize, fileAnsi.c_str());
        value = ThroughCodePage(value);
    } catch (...) {
    }

    if (count != 0) {
        try {
            const std::string found =
                platform::FromAnsi(std::string_view(readBuffer.data(), count));
            if (mode == 2 && found == value) {
                result = ProfileSetting(section, key, value, file, 0);
            } else {
                result = found;
            }
        } catch (...) {
        }
        return result;
    }

    if (mode == 2) {
        try {
            WriteIni(sectionBuffer, keyBuffer, value, fileAnsi);
        } catch (...) {
        }
    }
    try {
        result = value;
    } catch (...) {
    }
    return result;
}

}  // namespace INI32

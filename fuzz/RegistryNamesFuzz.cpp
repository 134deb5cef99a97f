// Key paths, value names and data through the registry services. Input: a type byte, then
// the subkey path and the value name on the first two lines, then the data. A key that is
// created and a value that is set must read back as written, by name and by enumeration;
// no call may write past the buffer it is given. Each input removes what it made, so the
// store stays small.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/Registry.h"

using namespace platform;

namespace {

constexpr size_t kMaxPath = 600;  // room for a name past the 255-character limit
constexpr int kMaxDepth = 64;
constexpr char kGuard = '\x5A';

std::string_view NextLine(std::string_view& input) {
    const size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return line;
}

// A C string argument: the text up to its first NUL.
std::string CText(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

// A buffer with guard bytes behind the part the callee is told about.
struct Guarded {
    explicit Guarded(size_t size) : bytes(size + 16, kGuard), size(size) {}
    char* data() { return bytes.data(); }
    bool Intact() const {
        for (size_t i = size; i < bytes.size(); ++i)
            if (bytes[i] != kGuard) return false;
        return true;
    }
    std::vector<char> bytes;
    size_t size;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

// Deletes every subkey of key, deepest first. Bounded in depth and in keys per level.
void DeleteSubkeys(HKEY key, int depth) {
    Check(depth < kMaxDepth);
    for (int round = 0; round < 1000; ++round) {
        char name[kMaxKeyNameLength + 1];
        if (RegEnumKeyA(key, 0, name, sizeof name) != ERROR_SUCCESS) return;
        HKEY child = 0;
        Check(RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS);
        DeleteSubkeys(child, depth + 1);
        RegCloseKey(child);
        Check(RegDeleteKeyA(key, name) == ERROR_SUCCESS);
    }
    std::abort();  // a key that will not go away
}

void CheckValue(HKEY key, const std::string& name, DWORD type, const std::string& data) {
    // By name, into a buffer of exactly the right size.
    DWORD gotType = 0;
    Guarded buffer(data.size());
    DWORD size = static_cast<DWORD>(data.size());
    Check(RegQueryValueExA(key, name.c_str(), nullptr, &gotType,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS);
    Check(gotType == type && size == data.size() && buffer.Intact());
    Check(std::memcmp(buffer.data(), data.data(), data.size()) == 0);

    // Into one byte too few: nothing copied, the size told.
    if (!data.empty()) {
        Guarded small(data.size() - 1);
        size = static_cast<DWORD>(data.size() - 1);
        Check(RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(small.data()), &size) == ERROR_MORE_DATA);
        Check(size == data.size() && small.Intact());
        for (size_t i = 0; i < small.size; ++i)
            Check(small.bytes[i] == kGuard);
    }

    // By enumeration: the only value, its name exactly fitting, then a name buffer too small.
    Guarded valueName(name.size() + 1);
    DWORD length = static_cast<DWORD>(name.size() + 1);
    Guarded enumData(data.size());
    size = static_cast<DWORD>(data.size());
    Check(RegEnumValueA(key, 0, valueName.data(), &length, nullptr, &gotType,
                        reinterpret_cast<BYTE*>(enumData.data()), &size) == ERROR_SUCCESS);
    Check(length == name.size() && valueName.data()[length] == '\0' && valueName.Intact());
    Check(enumData.Intact() && gotType == type && size == data.size());
    Check(std::memcmp(enumData.data(), data.data(), data.size()) == 0);
    Guarded shortName(name.size());
    length = static_cast<DWORD>(name.size());
    Check(RegEnumValueA(key, 0, shortName.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
          ERROR_MORE_DATA);
    Check(shortName.Intact());
    length = static_cast<DWORD>(name.size() + 1);
    Check(RegEnumValueA(key, 1, valueName.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
          ERROR_NO_MORE_ITEMS);
}

// Walks the subkeys of every level below the root with buffers of every small size.
void CheckKeyNames(HKEY key, int depth) {
    if (depth >= kMaxDepth) return;
    char name[kMaxKeyNameLength + 1];
    for (DWORD index = 0; index < 4; ++index) {
        if (RegEnumKeyA(key, index, name, sizeof name) != ERROR_SUCCESS) return;
        const size_t length = std::strlen(name);
        Check(length > 0 && length <= kMaxKeyNameLength);
        Guarded exact(length + 1);
        Check(RegEnumKeyA(key, index, exact.data(), static_cast<DWORD>(length + 1)) ==
              ERROR_SUCCESS);
        Check(exact.Intact() && std::strcmp(exact.data(), name) == 0);
        Guarded tooSmall(length);
        Check(RegEnumKeyA(key, index, tooSmall.data(), static_cast<DWORD>(length)) ==
              ERROR_MORE_DATA);
        Check(tooSmall.Intact());
        HKEY child = 0;
        Check(RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS);
        CheckKeyNames(child, depth + 1);
        RegCloseKey(child);
    }
}

// The store's folder for this run, removed when the fuzzer exits.
const std::filesystem::path& StoreFolder() {
    static const std::filesystem::path folder = [] {
        std::string name =
            (std::filesystem::temp_directory_path() / "fuzz-registry-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) std::abort();
        return std::filesystem::path(name);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("XDG_CONFIG_HOME", StoreFolder().c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(StoreFolder(), ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const DWORD type = bytes[0] & 0x0F;
    std::string_view input(reinterpret_cast<const char*>(bytes + 1), size - 1);
    const std::string subkey = CText(NextLine(input));
    const std::string valueName = CText(NextLine(input));
    const std::string data(input);
    if (subkey.size() > kMaxPath) return 0;

    HKEY key = 0;
    DWORD disposition = 0;
    const LONG created =
        RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (created != ERROR_SUCCESS) {
        Check(key == 0);
    } else {
        Check(disposition == REG_CREATED_NEW_KEY || disposition == REG_OPENED_EXISTING_KEY);
        // The same path opens the same key.
        HKEY again = 0;
        Check(RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &again) ==
              ERROR_SUCCESS);
        RegCloseKey(again);

        const LONG set = RegSetValueExA(key, valueName.c_str(), 0, type,
                                        reinterpret_cast<const BYTE*>(data.data()),
                                        static_cast<DWORD>(data.size()));
        if (set == ERROR_SUCCESS) {
            CheckValue(key, valueName, type, data);
            Check(RegDeleteValueA(key, valueName.c_str()) == ERROR_SUCCESS);
        }
        CheckKeyNames(HKEY_CURRENT_USER, 0);
        if (key != HKEY_CURRENT_USER) Check(RegCloseKey(key) == ERROR_SUCCESS);
    }

    DeleteSubkeys(HKEY_CURRENT_USER, 0);
    char name[kMaxKeyNameLength + 1];
    Check(RegEnumKeyA(HKEY_CURRENT_USER, 0, name, sizeof name) == ERROR_NO_MORE_ITEMS);
    return 0;
}

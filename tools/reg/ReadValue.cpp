#include "ReadValue.h"

#include <utility>

#include "common/Utf8.h"

namespace reg {

using namespace platform;

LONG ReadValue(HKEY key, const std::u16string& name, DWORD size, Value* value) {
    constexpr int kAttempts = 8;
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kAttempts && rc == ERROR_MORE_DATA; ++attempt) {
        std::string data(size, '\0');
        DWORD type = 0;
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            *value = Value{utf8::FromUtf16(name), type, std::move(data), false};
        }
    }
    return rc;
}

LONG ReadValue(HKEY key, const std::string& name, DWORD size, Value* value) {
    return ReadValue(key, utf8::ToUtf16(name), size, value);
}

}  // namespace reg

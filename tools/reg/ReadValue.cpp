#include "ReadValue.h"

#include <utility>

namespace reg {

using namespace platform;

LONG ReadValue(HKEY key, const std::string& name, DWORD size, Value* value) {
    constexpr int kAttempts = 8;
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kAttempts && rc == ERROR_MORE_DATA; ++attempt) {
        std::string data(size, '\0');
        DWORD type = 0;
        rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            *value = Value{name, type, std::move(data), false};
        }
    }
    return rc;
}

}  // namespace reg

#pragma once
// Reading one value out of the store as the commands do, safe against a client that writes
// at the same time.

#include <string>

#include "RegFile.h"
#include "platform/Registry.h"

namespace reg {

// Reads the value `name` of the open key `key` into *value, starting with a buffer of `size`
// bytes (the size an enumeration gave); the data comes as the UTF-16 calls give it. Another
// process may lengthen the value in between: on ERROR_MORE_DATA it reads again with the size
// the store gave back, a few times at most. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when
// the value is gone, or the store's error.
platform::LONG ReadValue(platform::HKEY key, const std::u16string& name, platform::DWORD size,
                         Value* value);

// The same for a name in UTF-8.
platform::LONG ReadValue(platform::HKEY key, const std::string& name, platform::DWORD size,
                         Value* value);

}  // namespace reg

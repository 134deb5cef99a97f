#pragma once
// The two routines behind the registry route of ProfileSetting: read or write one value
// addressed by a full key path ("HKEY_CURRENT_USER\Software\Shop\ecran") and a value name.
//
// The path's root is the text before its first '\', matched without regard to case against
// the seven full root names (HKEY_CLASSES_ROOT ... HKEY_USERS); any other root, a short form
// such as HKCU included, and a path without '\' name no key. Each call opens its key through
// one RegistryKey and closes it again; nothing is kept between calls. Errors are suppressed:
// no failure reaches the caller.

#include <optional>
#include <string>

#include "registry/RegistryKey.h"

namespace INI32 {

// The data of value valueName as RegistryKey::value reads it: empty text where the key or the
// value is missing, no value at all where the read itself fails.
std::optional<std::string> GetRegistrySetting(std::string keyPath, std::string valueName);

// Stores data as a string value valueName, creating the key and the keys on the way where
// missing. A key that cannot be opened or created, or a value that cannot be stored, leaves
// no trace.
void SetRegistrySetting(std::string keyPath, std::string valueName, RegistryKey::Variant data);

}  // namespace INI32

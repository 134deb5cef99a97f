#pragma once
// The one routine through which every setting is read and written.
//
// A setting is addressed by section, key and file argument. The file argument names an INI
// file (empty: the file named after the executable, in its folder) or, when it begins with
// "$" followed by a key path, a place in the registry store. The routine never fails towards
// its caller and keeps nothing between calls: every read goes to the store again.
//
// The namespace keeps the name of the INI module the routine was first written in, although
// it also covers the registry route (RegistryRoute.h, RegistrySetting.h): INI32::ProfileSetting
// is the name every caller and outside check uses, and a settings file is still what most
// file arguments name.

#include <cstdint>
#include <string>

namespace INI32 {

// mode 0 writes value and returns it; mode 2 reads and, where the setting is missing, empty
// or equal to the default, (re)writes the default; any other mode only reads. A read returns
// the text found, or the default (value) where there is none. Every step runs with errors
// suppressed: a step that fails is skipped and the routine goes on with the next one.
std::string ProfileSetting(std::string section, std::string key, std::string value,
                           std::string file, int16_t mode);

}  // namespace INI32

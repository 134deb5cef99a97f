#pragma once
// The registry's predefined roots by name: the one table that the settings route and
// afficheur-reg read key paths with. Constant data; safe from any thread.

#include <array>
#include <string_view>

#include "platform/Ansi.h"
#include "platform/Registry.h"

namespace platform {

struct RegistryRoot {
    std::string_view full;   // "HKEY_CURRENT_USER"
    std::string_view brief;  // "HKCU"; empty where the root has no short form
    HKEY handle;
};

// The seven roots, in the order the settings route tests their names.
inline constexpr std::array<RegistryRoot, 7> kRegistryRoots = {{
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_DYN_DATA", "", HKEY_DYN_DATA},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_PERFORMANCE_DATA", "", HKEY_PERFORMANCE_DATA},
    {"HKEY_USERS", "HKU", HKEY_USERS},
}};

// The root whose full name (and, with `briefToo`, whose short form) is `name` without regard
// to case; null when none is.
inline const RegistryRoot* FindRegistryRoot(std::string_view name, bool briefToo) {
    for (const RegistryRoot& root : kRegistryRoots) {
        if (EqualNoCase(name, root.full) ||
            (briefToo && !root.brief.empty() && EqualNoCase(name, root.brief))) {
            return &root;
        }
    }
    return nullptr;
}

}  // namespace platform

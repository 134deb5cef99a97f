#pragma once
// RegistryKey: one open key of the registry, with value access, name listings and deletion.
//
// An object holds at most one open key (hKey, 0 when none). Creating or opening a key first
// closes the one held; destroying the object closes it too (a failure there is logged, never
// thrown). Texts are UTF-8 here and cross to the registry in Windows-1252.
//
// Errors: a raised error is an Error whose number is the platform's code, unchanged, and whose
// source is "RegistryKey." and the operation. Some members only note their failure: it becomes
// LastError() and the member carries on. CreateKey and OpenKey report a failed open only
// through handle() being 0. One object is used by one thread at a time.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/Error.h"
#include "platform/KeyHandle.h"

class RegistryKey {
  public:
    // A value of any kind, as `value` accepts it for storing: text is stored as it is, numbers
    // and truth values as their text form ("42", "1.5", "True"); an absent value
    // (std::monostate) and a list have no text form.
    using Variant =
        std::variant<std::monostate, std::string, int64_t, double, bool, std::vector<std::string>>;

    // Creates (or opens, when it exists) sSubkey under hkeyRoot and holds it. True exactly when
    // the key was new; false when it existed or the platform refused (handle() is 0 then).
    // Raises only what closing the held key raises, and then changes nothing.
    bool CreateKey(uint32_t hkeyRoot, const std::string& sSubkey, const std::string& sClass = "",
                   uint32_t lOptions = 0, uint32_t lRights = 0xF003F);

    // Opens sSubkey under hkeyRoot with lRights and holds it; on failure holds nothing. With
    // lRights exactly KEY_WRITE (0x20006), a key that does not exist is created and opened.
    // Raises only what closing the held key raises.
    void OpenKey(uint32_t hkeyRoot, const std::string& sSubkey, uint32_t lRights);

    // Closes the held key. A refused close raises (source "RegistryKey.CloseKey") and the
    // handle stays held, so a later close tries again.
    void CloseKey();

    // The held key's handle, 0 when none.
    uint32_t handle() const;

    // The data of value sName as text: its bytes, as Windows-1252, without the last one. Never
    // raises: failures are noted (source "RegistryKey.Get Value") and give what was read, or
    // the empty text. Clears LastError() first.
    std::string value(const std::string& sName);

    // Stores the text form of vValue as a REG_SZ value (text and one zero byte). A refused write
    // is not reported; a value without a text form raises (number 13, "Type mismatch").
    void value(const std::string& sName, Variant vValue);

    // The names of the held key's values, the unnamed default value skipped. Raises on failure
    // (source "RegistryKey.GetValues"), also when a 32,768th name would overflow the count.
    std::vector<std::string> ValueNames();

    // The names of the held key's subkeys; no list (and a noted error) on failure.
    std::optional<std::vector<std::string>> SubKeyNames();

    // Deletes sSubkey under hkeyRoot; the held key plays no part. Raises on failure.
    void DeleteKey(uint32_t hkeyRoot, const std::string& sSubkey);

    // Deletes sSubkey under the held key. Raises on failure.
    void DeleteSubKey(const std::string& sSubkey);

    // Deletes value sName of the held key. Raises on failure.
    void DeleteValue(const std::string& sName);

    // The names of the held key's values, the default value listed as an empty name; no list
    // (and a noted error) on failure.
    std::optional<std::vector<std::string>> SubValueNames();

    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The error noted last by value read, SubKeyNames or SubValueNames (each clears it first).
    const std::optional<Error>& LastError() const;

  private:
    // The byte size of value sName's data. Raises on failure.
    uint32_t GetRegistryValueLen(const std::string& sName);

    void Note(Error error);

    platform::KeyHandle hKey;  // 0 when no key is held
    std::optional<Error> lastError_;
};

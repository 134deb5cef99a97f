#pragma once
// The registry services the registry key class relies on, with the Win32 names, arguments and
// results, in the code-page ("A") forms and the UTF-16 ("W") forms. Every function returns 0
// (ERROR_SUCCESS) or a Win32 error code and never throws.
//
// Text: the registry keeps names, and the data of the text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ), in UTF-16, as the platform does. The W forms take and give names as UTF-16
// and such data as its little-endian bytes, unchanged. The A forms convert as the platform's
// do: names and text data they are given are Windows-1252 and become UTF-16; names and text
// data they give back are converted to Windows-1252, where a character the code page lacks
// becomes '?', and the sizes they report are those of the converted data. Other types' data
// passes through unchanged in both forms.
//
// The store is one SQLite database per user, registry.sqlite3 in the settings folder
// (see Paths.h), mode 0600, created by the first call that writes. A store that is missing
// reads as an empty registry. Each call is one transaction: another process sees a change as
// soon as the call that made it returns, and a process killed at any moment leaves the store
// as it was before or after that call (RegApplyAsOne in RegistryTransaction.h makes several
// calls one transaction). Several processes may use the store at once. A store that cannot be
// read, is corrupt, is not ours or has a newer schema than this program knows makes calls fail
// with an error code (ERROR_BADDB, ERROR_REGISTRY_IO_FAILED, ...) and is never written over; a
// store of the first schema (Windows-1252 names and texts) is converted once when opened.
//
// Keys: the seven predefined roots are separate trees (HKEY_PERFORMANCE_DATA opens with an
// empty subkey but holds nothing). Names match without regard to case (the letters of
// Windows-1252, Latin Extended-A, Greek and Cyrillic included; see UpperCaseUnit in Ansi.h)
// and keep the spelling they were created with. Name lengths count UTF-16 units. In a subkey path
// '\' separates names (a doubled or trailing one is accepted, a leading one is ERROR_BAD_PATHNAME),
// '/' is part of a name, and an empty path names the key itself. Values enumerate in the order they
// were first set, subkeys in name order compared as upper case.
//
// Waiting and logging: a call that finds the store held by another process's transaction
// waits for it up to 2 seconds, then fails with ERROR_BUSY and changes nothing. A call that
// fails on the store itself (damaged, not ours, newer, unreadable, full) may write one line to
// stderr naming the file and the reason; no call writes more than one.
//
// Handles are 32-bit, belong to the process and are safe to use from several threads. A
// handle's access mask is enforced as Windows does; a handle to a key deleted since answers
// ERROR_KEY_DELETED to everything but RegCloseKey. A child made by fork() never uses its
// parent's connection: it opens the store afresh at its first call, and the handles it
// inherited are copies of its own (they name the same keys; closing one there leaves the
// parent's open). A change of the settings folder (XDG_CONFIG_HOME, HOME) switches to that
// folder's store, and every handle opened before it answers ERROR_INVALID_HANDLE.

#include <cstdint>

#include "platform/Win32Types.h"

namespace platform {

// The predefined roots.
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
constexpr HKEY HKEY_USERS = 0x80000003;
constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005;
constexpr HKEY HKEY_DYN_DATA = 0x80000006;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM DELETE = 0x00010000;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
constexpr REGSAM GENERIC_ALL = 0x10000000;
constexpr REGSAM GENERIC_EXECUTE = 0x20000000;
constexpr REGSAM GENERIC_WRITE = 0x40000000;
constexpr REGSAM GENERIC_READ = 0x80000000;

// Value types. The store keeps any type number with the data's raw bytes.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// The text types, whose data the registry keeps as UTF-16.
constexpr bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Creation dispositions and options.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Limits: characters of one key name, characters of a value name, levels of keys below a root.
constexpr DWORD kMaxKeyNameLength = 255;
constexpr DWORD kMaxValueNameLength = 16383;
constexpr DWORD kMaxKeyDepth = 512;

// The record RegCreateKeyExA takes; the store keeps no security descriptors and ignores it.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// Opens the key lpSubKey under hKey, creating it and every missing key on the way, with the
// access samDesired (generic rights and MAXIMUM_ALLOWED are mapped as Windows maps them).
// *phkResult receives the new handle (for an empty path under a predefined root, that root
// itself), *lpdwDisposition (if not null) REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
// On failure *phkResult is 0. A name longer than 255 characters, and a new key more than 512
// levels below its root, give ERROR_INVALID_PARAMETER (and create nothing).
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass,
                     DWORD dwOptions, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* lpSecurityAttributes, HKEY* phkResult,
                     DWORD* lpdwDisposition);

// Opens the existing key lpSubKey under hKey with the access samDesired; ERROR_FILE_NOT_FOUND
// when it does not exist. *phkResult receives the handle, or 0 on failure.
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult);

// Closes a handle. A predefined root closes without effect; 0 or a handle that is not open
// gives ERROR_INVALID_HANDLE.
LONG RegCloseKey(HKEY hKey);

// Reads the value lpValueName (null or empty: the key's default value); needs KEY_QUERY_VALUE.
// *lpType (if not null) receives the type. With lpData null, *lpcbData (if not null) receives
// the data's size. Otherwise the data is copied when *lpcbData is large enough, else the
// result is ERROR_MORE_DATA and nothing is copied; either way *lpcbData receives the size.
// lpData without lpcbData gives ERROR_INVALID_PARAMETER; a missing value ERROR_FILE_NOT_FOUND.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData);

// Stores cbData bytes of lpData as the value lpValueName with type dwType, replacing any
// earlier data but keeping the value's place in the enumeration; needs KEY_SET_VALUE. A name
// longer than 16,383 characters gives ERROR_INVALID_PARAMETER; lpData null with cbData > 0
// gives ERROR_NOACCESS.
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);

// Deletes the value lpValueName; needs KEY_SET_VALUE. ERROR_FILE_NOT_FOUND when missing.
LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);

// The dwIndex-th value of the key (0 first, in the order the values were first set); needs
// KEY_QUERY_VALUE. The name and its NUL go to lpValueName, whose size in characters
// *lpcchValueName gives and which then receives the name's length without the NUL; a name
// that does not fit gives ERROR_MORE_DATA and leaves both alone. lpType, lpData and lpcbData
// behave as in RegQueryValueExA. ERROR_NO_MORE_ITEMS past the last value.
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// The name of the dwIndex-th subkey (in name order compared as upper case), with its NUL, into
// lpName of cchName characters; needs KEY_ENUMERATE_SUB_KEYS. ERROR_MORE_DATA when it does not
// fit, ERROR_NO_MORE_ITEMS past the last subkey.
LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);

// Deletes the key lpSubKey under hKey (empty: hKey's own key) with its values. A key that
// still has subkeys, and a predefined root, give ERROR_ACCESS_DENIED; a missing one
// ERROR_FILE_NOT_FOUND. Handles still open on the deleted key answer ERROR_KEY_DELETED.
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);

// The UTF-16 forms: as their A forms above, with names (and the class) as NUL-terminated
// UTF-16, name lengths and buffer sizes in UTF-16 units, and text data unconverted.
LONG RegCreateKeyExW(HKEY hKey, const WCHAR* lpSubKey, DWORD Reserved, const WCHAR* lpClass,
                     DWORD dwOptions, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* lpSecurityAttributes, HKEY* phkResult,
                     DWORD* lpdwDisposition);
LONG RegOpenKeyExW(HKEY hKey, const WCHAR* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult);
LONG RegQueryValueExW(HKEY hKey, const WCHAR* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData);
LONG RegSetValueExW(HKEY hKey, const WCHAR* lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);
LONG RegDeleteValueW(HKEY hKey, const WCHAR* lpValueName);
LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, WCHAR* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);
LONG RegEnumKeyW(HKEY hKey, DWORD dwIndex, WCHAR* lpName, DWORD cchName);
LONG RegDeleteKeyW(HKEY hKey, const WCHAR* lpSubKey);

}  // namespace platform

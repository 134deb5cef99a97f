#pragma once
// The INI file services the settings routine relies on, with the Win32 names, arguments and
// results. Texts are Windows-1252 bytes, the file name included.
//
// Files: a name without a folder lives in the settings folder (see Paths.h), created on the
// first write; '\' and '/' both separate folders; any other path is used as given.
// Reads never lock and never fail: a missing or unreadable file reads as empty. Writes are
// atomic and serialized between processes (see AtomicFile.h).
//
// Waits: a write may wait up to 2 seconds for another writer (another process, or another
// thread of this one) that holds the lock on the file's folder, and then fails (returns 0,
// with one log line); a read never waits. There is no last-error value: a failed write tells
// why only in its log line.
// Output: a refused or failed write writes one line on stderr (see common/Log.h); nothing
// else is ever printed.
// State: none is kept between calls. Every call reads the environment (XDG_CONFIG_HOME,
// HOME) and the file again, so a change of the settings folder counts from the next call, and
// a call made after fork() in either process behaves as in any other process. Calls may be
// made from any thread.

#include "platform/Win32Types.h"

namespace platform {

// Copies the value of key in section of the file into the buffer, or the default where the
// file, the section or the key is missing (null default: empty). Names match without regard
// to case and to blanks around them. Blanks around a value and one pair of matching quotes
// are removed, from the default too (its trailing blanks only). At most nSize - 1 characters
// are copied, then a terminating NUL; returns the count copied, without the NUL. nSize 0
// returns 0 and leaves the buffer alone. A key present with an empty value gives 0.
// Section or key null (the platform's listing forms) are not supported: they give the
// default like a missing key.
DWORD GetPrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpDefault,
                               char* lpReturnedString, DWORD nSize, const char* lpFileName);

// Sets key in section of the file to the text, adding the file, the section or the key where
// they are missing. Leading blanks of the text are not stored. A null text deletes the key, a
// null key deletes the section. Writing the text the key already holds leaves the file
// untouched. Returns nonzero on success; zero, with one log line, when the file cannot be
// written (missing folder, read-only, not a regular file) or when a name or the text holds a
// line break, a key name holds '=' or begins with '[' or ';': such a write would change the
// file's structure, so it is refused and the file stays byte for byte as it was.
BOOL WritePrivateProfileStringA(const char* lpAppName, const char* lpKeyName, const char* lpString,
                                const char* lpFileName);

}  // namespace platform

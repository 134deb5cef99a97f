#pragma once
// Reading a .reg file to import and writing an export, safely: an import reads only a regular
// file of a bounded size, and an export replaces its target whole or not at all. Paths are
// UTF-8. RegFileIo.cpp does it with POSIX calls, RegFileIo_win.cpp with Windows' UTF-16 ones.

#include <cstdint>
#include <string>

namespace reg {

// The largest file an import reads: far more than any settings tree, small enough to hold.
constexpr uint64_t kMaxImportBytes = 64ull * 1024 * 1024;

// Whether anything is at `path`, a symbolic link to nothing included (or whether it cannot be
// told): an export asks before it replaces it.
bool PathTaken(const std::string& path);

// The whole content of the file at `path`. Throws std::runtime_error naming the file when it
// cannot be opened or read, is not a regular file (a FIFO or a device is refused without
// waiting for a writer) or is larger than kMaxImportBytes.
std::string ReadImportFile(const std::string& path);

// Writes `bytes` to a new temporary file beside `path`, flushes it to disk and renames it over
// `path`. A symbolic link at `path` is replaced, not followed; an existing file is never
// truncated, so a failure at any moment leaves it as it was. The new file is private to the
// user (mode 0600), as the store is; on Windows it has the folder's permissions, as the
// registry there is the system's. Throws std::runtime_error naming the file on failure, after
// removing the temporary file. Once the file is replaced, a failure to flush its folder is
// only logged: the export has taken place (Windows flushes the rename with the file).
void ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace reg

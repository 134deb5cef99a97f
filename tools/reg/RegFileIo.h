#pragma once
// Reading a .reg file to import and writing an export, safely: an import reads only a regular
// file of a bounded size, and an export replaces its target whole or not at all.

#include <cstdint>
#include <string>

namespace reg {

// The largest file an import reads: far more than any settings tree, small enough to hold.
constexpr uint64_t kMaxImportBytes = 64ull * 1024 * 1024;

// The whole content of the file at `path`. Throws std::runtime_error naming the file when it
// cannot be opened or read, is not a regular file (a FIFO or a device is refused without
// waiting for a writer) or is larger than kMaxImportBytes.
std::string ReadImportFile(const std::string& path);

// Writes `bytes` to a new temporary file beside `path`, flushes it to disk and renames it over
// `path`. A symbolic link at `path` is replaced, not followed; an existing file is never
// truncated, so a failure at any moment leaves it as it was. The new file is private to the
// user (mode 0600), as the store is. Throws std::runtime_error naming
// the file on failure, after removing the temporary file. Once the file is replaced, a failure
// to flush its folder is only logged: the export has taken place.
void ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace reg

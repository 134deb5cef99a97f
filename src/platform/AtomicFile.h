#pragma once
// Whole-file reads and atomic, serialized edits of small text files (settings files).
//
// An edit takes an exclusive lock on the file's folder, reads the file, lets the caller
// compute the new content, writes it to a temporary file in the same folder, flushes it to
// disk and renames it over the old file. A process killed at any moment therefore leaves
// either the old or the new file, never a torn one, and two processes editing at once never
// lose each other's changes.
//
// A replace puts a new file (a new inode) where the old one was. It keeps:
// - the content, atomically, and the path: a symbolic link keeps pointing at its target,
//   which is what gets replaced;
// - the permission bits;
// - the owner and group, where the writer may set them (root always; another user keeps the
//   group when they belong to it), so a file written once by root still belongs to its owner.
// It drops:
// - ACL entries beyond the permission bits and every extended attribute (security labels
//   included): the new file gets what the folder gives a new file;
// - hard links: other names of the old file keep the old content;
// - the inode number and the change and birth times.
// A replace that cannot flush its folder to disk still succeeds (the new content is in
// place) and says so in one log line, since a power cut could then bring the old file back.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The whole content of a regular file; nullopt when it is missing, not a regular file or
// cannot be read. Never waits: a FIFO or a device in place of the file reads as nullopt.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Computes a file's new content from its current one (empty for a missing file);
// nullopt means "leave the file as it is".
using FileEdit = std::function<std::optional<std::string>(std::string_view current)>;

// Applies an edit atomically. Returns true when the file holds the edited content (or was
// left alone because the edit asked for no change: that is found out without waiting for the
// lock); false, with a reason in *error, when the folder is missing or read-only, the file is
// read-only (no write permission bit at all, even for root), cannot be read or is not a
// regular file, another writer keeps the lock for over two seconds, or the new content
// cannot be written in full. On failure the file is exactly as it was.
bool EditFileAtomically(const std::filesystem::path& path, const FileEdit& edit,
                        std::string* error);

}  // namespace platform

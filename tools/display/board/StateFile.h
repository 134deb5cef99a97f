#pragma once
// Where the display keeps its board across restarts: one file in a folder that only its user
// (or root) may change. The folder is opened once, when the display starts, and every later read,
// write and rename goes through that open folder, so a folder swapped for another afterwards
// (a link planted in a shared parent) is never written through. The file itself is never
// followed: a symbolic link, a FIFO or a device in its place is refused, not opened, and a read
// never waits. A write puts a new file (mode 0600: it holds the last sale's text) beside the old
// one, syncs it and renames it over; a rename replaces a link planted meanwhile, never its
// target. Plain C++ (POSIX); the methods may be called from several threads at once.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.h"

namespace display {

class StateFile {
  public:
    // Opens path's folder (created, mode 0700, when missing) and checks it and the file.
    // nullopt, with one line for the user in *error naming what is wrong, when the folder
    // cannot be made or opened, is not owned by this user or root, or may be written by other
    // users; or when the path names a symbolic link or anything but a regular file.
    static std::optional<StateFile> Open(const std::string& path, std::string* error);

    StateFile(StateFile&&) noexcept = default;

    const std::string& path() const { return path_; }

    struct Content {
        enum class Kind { Missing, Read, Refused } kind = Kind::Missing;
        std::string bytes;      // Read: the file's content, at most the bound
        bool tooLarge = false;  // Read: the file holds more than the bound
        std::string why;        // Refused: what the path is instead of a regular file
    };
    // The file's content, at most maxBytes of it (tooLarge says there was more).
    Content Read(std::size_t maxBytes) const;

    // Replaces the file with content, atomically and durably. False, with the reason in
    // *error, when the folder no longer takes it or the path holds something else than a
    // regular file (left as it is).
    bool Replace(std::string_view content, std::string* error) const;

    // Renames the file aside as NAME.damaged, or NAME.damaged.1 up to NAME.damaged.9 when
    // those are taken (by anything: an earlier damaged file is never replaced); when all are
    // taken the last is replaced. The name it now has, or nullopt with *error.
    std::optional<std::string> SetAside(std::string* error) const;

  private:
    StateFile(platform::Fd folder, std::string name, std::string path);

    platform::Fd folder_;
    std::string name_;  // the file's name in the folder
    std::string path_;  // as given, for messages
};

}  // namespace display

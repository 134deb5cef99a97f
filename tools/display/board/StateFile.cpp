#include "StateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace display {

namespace {

namespace fs = std::filesystem;

constexpr int kDamagedNames = 10;  // NAME.damaged, then NAME.damaged.1 to .9

std::string Why(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// What a folder's owner and permissions allow others; empty when only this user (or root)
// may change what it holds.
std::string FolderFault(const struct stat& folder) {
    if (!S_ISDIR(folder.st_mode)) return "is not a folder";
    if (folder.st_uid != ::geteuid() && folder.st_uid != 0)
        return "belongs to another user (uid " + std::to_string(folder.st_uid) + ")";
    if ((folder.st_mode & S_IWOTH) != 0) return "may be written by every user";
    if ((folder.st_mode & S_IWGRP) != 0 && folder.st_gid != ::getegid())
        return "may be written by the users of group " + std::to_string(folder.st_gid);
    return {};
}

// What stands at a path instead of a regular file, or empty.
std::string NotAFile(const struct stat& info) {
    if (S_ISLNK(info.st_mode)) return "is a symbolic link";
    if (!S_ISREG(info.st_mode)) return "is not a regular file";
    return {};
}

}  // namespace

StateFile::StateFile(platform::Fd folder, std::string name, std::string path)
    : folder_(std::move(folder)), name_(std::move(name)), path_(std::move(path)) {}

std::optional<StateFile> StateFile::Open(const std::string& path, std::string* error) {
    const fs::path file(path);
    const std::string name = file.filename().string();
    if (name.empty() || name == "." || name == "..") {
        *error = "the state file " + path + " names a folder, not a file";
        return std::nullopt;
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        // Its parents as any new folder; the folder itself for this user alone.
        if (folder.has_parent_path()) fs::create_directories(folder.parent_path(), ec);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            *error =
                "cannot make the state folder " + folder.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
    }
    platform::Fd opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!opened.valid() || ::fstat(opened.get(), &info) != 0) {
        *error = Why(("cannot open the state folder " + folder.string()).c_str());
        return std::nullopt;
    }
    if (const std::string fault = FolderFault(info); !fault.empty()) {
        *error = "the state folder " + folder.string() + " " + fault +
                 ": another user could replace the saved board; choose a folder of this "
                 "user's own (--state)";
        return std::nullopt;
    }
    if (::fstatat(opened.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (const std::string fault = NotAFile(info); !fault.empty()) {
            *error = "the state file " + path + " " + fault + "; the display writes only a " +
                     "regular file there";
            return std::nullopt;
        }
    } else if (errno != ENOENT) {
        *error = Why(("cannot look at the state file " + path).c_str());
        return std::nullopt;
    }
    return StateFile(std::move(opened), name, path);
}

StateFile::Content StateFile::Read(std::size_t maxBytes) const {
    Content content;
    // Without O_NONBLOCK a FIFO would wait for a writer that may never come.
    platform::Fd file(::openat(folder_.get(), name_.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        if (errno == ENOENT) return content;
        content.kind = Content::Kind::Refused;
        content.why = errno == ELOOP ? std::string("is a symbolic link") : Why("cannot be read");
        return content;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        content.kind = Content::Kind::Refused;
        content.why = "is not a regular file";
        return content;
    }
    content.kind = Content::Kind::Read;
    char buffer[65536];
    while (content.bytes.size() <= maxBytes) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            content.kind = Content::Kind::Refused;
            content.why = Why("cannot be read");
            return content;
        }
        if (got == 0) break;
        content.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (content.bytes.size() > maxBytes) {
        content.bytes.resize(maxBytes);
        content.tooLarge = true;
    }
    return content;
}

bool StateFile::Replace(std::string_view content, std::string* error) const {
    // One temporary name: one display writes its state file, from one thread.
    const std::string temporary = "." + name_ + ".new";
    platform::Fd out(::openat(folder_.get(), temporary.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) return *error = Why("cannot create a temporary file"), false;
    ::fchmod(out.get(), 0600);  // a temporary file left by an older display keeps its mode
    const bool written = platform::WriteAll(out.get(), content) && ::fdatasync(out.get()) == 0;
    if (!written || !out.Close()) {
        *error = Why("cannot write");
        ::unlinkat(folder_.get(), temporary.c_str(), 0);
        return false;
    }
    struct stat info {};
    if (::fstatat(folder_.get(), name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (const std::string fault = NotAFile(info); !fault.empty()) {
            ::unlinkat(folder_.get(), temporary.c_str(), 0);
            return *error = "the path " + fault + " now; it is left as it is", false;
        }
    }
    if (::renameat(folder_.get(), temporary.c_str(), folder_.get(), name_.c_str()) != 0) {
        *error = Why("cannot rename the new file into place");
        ::unlinkat(folder_.get(), temporary.c_str(), 0);
        return false;
    }
    ::fsync(folder_.get());  // the rename itself survives a power cut
    return true;
}

std::optional<std::string> StateFile::SetAside(std::string* error) const {
    for (int n = 0; n < kDamagedNames; ++n) {
        const std::string aside = name_ + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
        const bool last = n == kDamagedNames - 1;
        const int moved =
            last ? ::renameat(folder_.get(), name_.c_str(), folder_.get(), aside.c_str())
                 : ::renameat2(folder_.get(), name_.c_str(), folder_.get(), aside.c_str(),
                               RENAME_NOREPLACE);
        if (moved == 0) {
            ::fsync(folder_.get());
            const fs::path folder = fs::path(path_).parent_path();
            return (folder / aside).string();
        }
        if (errno == EEXIST && !last) continue;
        *error = Why(("cannot rename it to " + aside).c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace display

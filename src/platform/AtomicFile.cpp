#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

#include "common/Log.h"
#include "platform/FileDescriptor.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// The file a path finally names: symbolic links of the last component are followed, so the
// link survives and its target is replaced. Bounded, as the kernel bounds link chains.
fs::path FinalTarget(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        fs::path target = fs::read_symlink(path, ec);
        if (ec) return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

std::string TemporaryPrefix(const fs::path& target) {
    return "." + target.filename().string() + ".tmp-";
}

// A temporary file left by a writer that was killed before its rename. Only called while
// the folder lock is held, so no live writer owns such a file.
void RemoveStaleTemporaries(const fs::path& target) {
    const std::string prefix = TemporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(target.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0) fs::remove(it->path(), ec);
    }
}

// Gives the new file the old one's owner, group and permissions. The owner and group are best
// effort: only root may give a file away, and a user may only pick a group of their own, so
// a file kept by its owner stays theirs even after root wrote it. The mode comes after the
// owner because a change of owner clears the set-user-ID and set-group-ID bits.
void KeepOwnerAndMode(int fd, const struct stat& existing) {
    const bool kept = ::fchown(fd, existing.st_uid, existing.st_gid) == 0 ||
                      ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) == 0;
    (void)kept;  // otherwise the new file is the writer's, as any file they create
    ::fchmod(fd, existing.st_mode & 07777);
}

// Creates a new temporary file beside the target, with the target's owner and permissions
// when it exists and the usual permissions for a new file (0666 less the umask) otherwise.
Fd CreateTemporary(const fs::path& target, const struct stat* existing, fs::path* name) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        *name =
            target.parent_path() / (TemporaryPrefix(target) + std::to_string(::getpid()) + "-" +
                                    std::to_string(counter++) + "-" + std::to_string(entropy()));
        Fd fd(::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.valid()) {
            if (existing != nullptr) KeepOwnerAndMode(fd.get(), *existing);
            return fd;
        }
        if (errno != EEXIST) return Fd{};
    }
    return Fd{};
}

// How long a writer waits for another one to finish before it gives up: writers hold the
// lock for one read, edit and flush, so this only runs out when one of them is stuck.
constexpr std::chrono::milliseconds kLockPatience{2000};

// Takes the exclusive lock on fd, waiting at most `patience`. On failure errno tells why
// (EWOULDBLOCK when another writer held it all along).
bool LockWithin(int fd, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer that may never come.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string content;
    content.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        content.append(buffer, static_cast<size_t>(got));
    }
    return content;
}

bool EditFileAtomically(const fs::path& path, const FileEdit& edit, std::string* error) {
    const fs::path target = FinalTarget(path);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();

    // Many writes store what the file already holds (a default recorded again at every read):
    // find that out without the lock, so that such a write never waits for another writer.
    if (const auto content = ReadWholeFile(target); content && !edit(*content)) return true;

    Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid()) return *error = ErrnoText("cannot open the folder"), false;
    // Every writer of a file in this folder takes this lock across read, edit and rename.
    if (!LockWithin(folderFd.get(), kLockPatience)) {
        if (errno == EWOULDBLOCK) return *error = "another writer keeps the folder locked", false;
        return *error = ErrnoText("cannot lock the folder"), false;
    }

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return *error = ErrnoText("cannot inspect the file"), false;
    std::string current;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) return *error = "not a regular file", false;
        // A file nobody may write stays as it is, for root too, as a read-only file does on
        // the platform this format comes from; the rename would otherwise replace it.
        if ((existing.st_mode & 0222) == 0) return *error = "the file is read-only", false;
        if (::access(target.c_str(), W_OK) != 0) {
            return *error = ErrnoText("the file cannot be written"), false;
        }
        auto content = ReadWholeFile(target);
        if (!content) return *error = ErrnoText("cannot read the file"), false;
        current = std::move(*content);
    }

    const std::optional<std::string> updated = edit(current);
    if (!updated) return true;

    RemoveStaleTemporaries(target);
    fs::path temporary;
    Fd out = CreateTemporary(target, exists ? &existing : nullptr, &temporary);
    if (!out.valid()) return *error = ErrnoText("cannot create a temporary file"), false;
    const bool written = WriteAll(out.get(), *updated) && ::fsync(out.get()) == 0;
    const int writeErrno = errno;
    if (!written || !out.Close()) {
        errno = written ? errno : writeErrno;
        *error = ErrnoText("cannot write the file");
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        *error = ErrnoText("cannot replace the file");
        ::unlink(temporary.c_str());
        return false;
    }
    // Makes the rename itself durable. The new content is in place either way, so a failure
    // here does not fail the edit, but a power cut could still bring the old file back.
    if (::fsync(folderFd.get()) != 0) {
        LogLine(ErrnoText(("replaced " + target.string() +
                           " but could not flush its folder to disk, so the change may not "
                           "survive a power cut")
                              .c_str()));
    }
    return true;
}

}  // namespace platform

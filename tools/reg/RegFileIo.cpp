// POSIX files.
#include "RegFileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "common/Log.h"
#include "platform/FileDescriptor.h"

namespace reg {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw std::runtime_error(what + " '" + path + "': " + std::strerror(error));
}

}  // namespace

bool PathTaken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() !=
           std::filesystem::file_type::not_found;
}

std::string ReadImportFile(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    platform::Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) Fail("Cannot open", path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) Fail("Cannot read", path, errno);
    if (!S_ISREG(info.st_mode)) {
        throw std::runtime_error("Cannot import '" + path + "': not a regular file");
    }
    if (static_cast<uint64_t>(info.st_size) > kMaxImportBytes) {
        throw std::runtime_error("Cannot import '" + path + "': larger than 64 MiB");
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("Cannot read", path, errno);
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
        // The file may grow while it is read.
        if (content.size() > kMaxImportBytes) {
            throw std::runtime_error("Cannot import '" + path + "': larger than 64 MiB");
        }
    }
    return content;
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    platform::Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) Fail("Cannot write", path, errno);
    // The file stays private to the user (mkostemp makes it 0600), as the store is.
    int error = 0;
    errno = 0;
    if (!platform::WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0)
        error = errno != 0 ? errno : EIO;
    if (!fd.Close() && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        Fail("Cannot write", path, error);
    }
    // The rename reaches the disk with the folder. The new file is in place either way, so a
    // failure here does not fail the export, but a power cut could still bring the old file back.
    platform::Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && ::fsync(dir.get()) != 0) {
        LogLine("replaced '" + path + "' but could not flush its folder to disk (" +
                std::strerror(errno) + "), so the change may not survive a power cut");
    }
}

}  // namespace reg

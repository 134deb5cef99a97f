// Windows files, through the UTF-16 calls: a path is UTF-8 inside the program.
#include <windows.h>
#undef ReplaceFile  // <windows.h>'s name for ReplaceFileW; ours is reg::ReplaceFile

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <utility>

#include "RegFileIo.h"
#include "common/Utf8.h"
#include "platform/SystemError.h"

namespace reg {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error) {
    throw std::runtime_error(what + " '" + path +
                             "': " + platform::SystemErrorText(static_cast<int>(error)));
}

std::wstring Wide(const std::string& path) {
    const std::u16string units = utf8::ToUtf16(path);
    return std::wstring(units.begin(), units.end());
}

// An open file, closed when it goes out of scope.
class File {
  public:
    explicit File(HANDLE handle) : handle_(handle) {}
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    // Closes now; false (GetLastError() tells why) when the system refused.
    bool Close() {
        const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
    }

  private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return false;
        if (written == 0) {  // no progress and no reason: never loop on it
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

bool PathTaken(const std::string& path) {
    if (::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::string ReadImportFile(const std::string& path) {
    // With FILE_FLAG_BACKUP_SEMANTICS a folder opens too, to be refused below like a device.
    File file(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) Fail("Cannot open", path, ::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw std::runtime_error("Cannot import '" + path + "': not a regular file");
    }
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kMaxImportBytes) {
        throw std::runtime_error("Cannot import '" + path + "': larger than 64 MiB");
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            Fail("Cannot read", path, ::GetLastError());
        }
        if (got == 0) break;
        content.append(buffer, got);
        // The file may grow while it is read.
        if (content.size() > kMaxImportBytes) {
            throw std::runtime_error("Cannot import '" + path + "': larger than 64 MiB");
        }
    }
    return content;
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path target(Wide(path));
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(L".");
    // A new file beside the target, under a name no one else uses (CREATE_NEW refuses one
    // that exists).
    std::random_device entropy;
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = (folder / (L"." + target.filename().wstring() + L"." +
                               std::to_wstring(entropy() % 1000000)))
                        .wstring();
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    File file(created);
    if (!file.valid()) Fail("Cannot write", path, error);
    error = 0;
    if (!WriteAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) error = ::GetLastError();
    if (!file.Close() && error == 0) error = ::GetLastError();
    // MOVEFILE_WRITE_THROUGH returns once the rename is on the disk. A symbolic link at the
    // target is replaced, not followed.
    if (error == 0 && !::MoveFileExW(temporary.c_str(), target.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::DeleteFileW(temporary.c_str());
        Fail("Cannot write", path, error);
    }
}

}  // namespace reg

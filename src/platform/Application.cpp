#include "platform/Application.h"

#include <filesystem>
#include <system_error>

namespace platform {
namespace {

std::filesystem::path ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path{} : path;
}

}  // namespace

std::string ApplicationFolder() {
    const auto exe = ExecutablePath();
    return exe.empty() ? std::string{} : exe.parent_path().string();
}

std::string ApplicationName() {
    return ExecutablePath().stem().string();
}

}  // namespace platform

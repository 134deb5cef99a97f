#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace {

std::optional<std::string> Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    ::_putenv_s(name, value ? value->c_str() : "");
#else
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
#endif
}

std::filesystem::path MakeUniqueFolder() {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto path = std::filesystem::temp_directory_path() /
                          ("afficheur-test-" + std::to_string(entropy()));
        if (std::filesystem::create_directory(path)) return path;
    }
    throw std::runtime_error("cannot create a temporary folder");
}

}  // namespace

TempFolder::TempFolder()
    : path_(MakeUniqueFolder()), oldHome_(Env("HOME")), oldXdg_(Env("XDG_CONFIG_HOME")) {
    SetEnv("HOME", path_.string());
    SetEnv("XDG_CONFIG_HOME", (path_ / "config").string());
}

TempFolder::~TempFolder() {
    SetEnv("HOME", oldHome_);
    SetEnv("XDG_CONFIG_HOME", oldXdg_);
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string WithoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

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

#ifdef _WIN32
// On Windows the registry is the system's own and outlives the test: each TempFolder maps
// the predefined roots onto fresh keys of its own, and deletes them at the end.
namespace {
const HKEY kIsolatedRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS,
                               HKEY_CURRENT_CONFIG};
// Their names, full and short, in the same order.
const char* const kIsolatedRootNames[][2] = {{"HKEY_CURRENT_USER", "HKCU"},
                                             {"HKEY_LOCAL_MACHINE", "HKLM"},
                                             {"HKEY_CLASSES_ROOT", "HKCR"},
                                             {"HKEY_USERS", "HKU"},
                                             {"HKEY_CURRENT_CONFIG", "HKCC"}};

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}
}  // namespace

struct TempFolder::ScratchRegistry {
    std::string path;
    std::vector<HKEY> keys;

    explicit ScratchRegistry(const std::string& id) : path("Software\\AfficheurTests\\" + id) {
        for (size_t i = 0; i < std::size(kIsolatedRoots); ++i) {
            HKEY key = nullptr;
            const std::string sub = path + "\\root" + std::to_string(i);
            if (::RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr) != ERROR_SUCCESS) {
                throw std::runtime_error("cannot create a scratch registry key");
            }
            keys.push_back(key);
        }
        for (size_t i = 0; i < keys.size(); ++i)
            ::RegOverridePredefKey(kIsolatedRoots[i], keys[i]);
    }
    ~ScratchRegistry() {
        for (HKEY root : kIsolatedRoots)
            ::RegOverridePredefKey(root, nullptr);
        for (HKEY key : keys)
            ::RegCloseKey(key);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    }
};
#else
struct TempFolder::ScratchRegistry {};  // the store lives in the temporary folder itself
#endif

TempFolder::TempFolder()
    : path_(MakeUniqueFolder()), oldHome_(Env("HOME")), oldXdg_(Env("XDG_CONFIG_HOME")) {
    SetEnv("HOME", path_.string());
    SetEnv("XDG_CONFIG_HOME", (path_ / "config").string());
#ifdef _WIN32
    registry_ = std::make_unique<ScratchRegistry>(path_.filename().string());
#endif
}

std::string TempFolder::RegistryRootForChildren(const std::string& root) const {
#ifdef _WIN32
    for (size_t i = 0; i < std::size(kIsolatedRootNames); ++i) {
        if (Upper(root) == kIsolatedRootNames[i][0] || Upper(root) == kIsolatedRootNames[i][1]) {
            return "HKEY_CURRENT_USER\\" + registry_->path + "\\root" + std::to_string(i);
        }
    }
    throw std::runtime_error("no scratch key stands for the root " + root);
#else
    return root;
#endif
}

TempFolder::~TempFolder() {
    registry_.reset();
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

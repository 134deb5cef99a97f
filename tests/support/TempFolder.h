#pragma once
// Test isolation: a fresh temporary folder that also becomes HOME and XDG_CONFIG_HOME for the
// test's lifetime, so settings files named without a folder, and the registry store, land
// inside it. On Windows, where the registry is the system's own, the predefined roots are
// mapped onto fresh scratch keys for the same lifetime.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Where a bare settings file name resolves: <folder>/config/afficheur.
    std::filesystem::path settings() const { return path_ / "config" / "afficheur"; }
    // The key a program the test runs names for a root ("HKCU", "HKEY_LOCAL_MACHINE", in any
    // case) to reach what this process finds there. On Linux the root as written: the store
    // is in the folder, shared with the children. On Windows the full name of the scratch key
    // the root is mapped onto, which this process alone sees as the root; a child given the
    // root itself would reach the user's registry.
    std::string RegistryRootForChildren(const std::string& root) const;

  private:
    struct ScratchRegistry;
    std::filesystem::path path_;
    std::optional<std::string> oldHome_;
    std::optional<std::string> oldXdg_;
    std::unique_ptr<ScratchRegistry> registry_;
};

// Whole-file helpers for assertions and fixtures.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);
// The text with every CR removed: the platform's own INI service writes CR LF where ours
// writes LF, and the tests that run on both compare content, not line endings.
std::string WithoutCarriageReturns(std::string text);

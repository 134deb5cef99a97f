#pragma once
// A settings folder of a benchmark's own: a fresh temporary folder that becomes
// XDG_CONFIG_HOME for the benchmark's lifetime, so the user's files and registry store are
// never touched. Removed at the end.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class BenchFolder {
  public:
    BenchFolder() {
        std::string pattern = std::filesystem::temp_directory_path() / "afficheur-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        ::setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // Where a settings file named without a folder lives.
    std::filesystem::path file(const std::string& name) const { return path_ / "afficheur" / name; }

  private:
    std::filesystem::path path_;
};

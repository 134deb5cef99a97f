#pragma once
// What the tests of afficheur-reg share: the tool run as a process on the test's registry,
// and values set and read back in this process.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace regtest {

using namespace platform;

struct Outcome {
    int status;
    std::string output;  // stdout and stderr together
};

inline void Set(HKEY root, const char* path, const char* name, DWORD type,
                const std::string& data) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Every key, value, type and byte under a key, as one comparable text.
inline std::string Dump(HKEY root, const std::string& path) {
    HKEY key = 0;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
    std::string out = "[" + path + "]\n";
    for (DWORD i = 0; i < 1000; ++i) {
        char name[300];
        DWORD length = sizeof name;
        DWORD type = 0;
        std::string data(100000, '\0');
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, name, &length, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
            break;
        }
        out += std::string(name, length) + " " + std::to_string(type) + " " + std::to_string(size) +
               ":" + data.substr(0, size) + "\n";
    }
    std::vector<std::string> children;
    for (DWORD i = 0; i < 1000; ++i) {
        char name[300];
        if (RegEnumKeyA(key, i, name, sizeof name) != ERROR_SUCCESS) break;
        children.emplace_back(name);
    }
    RegCloseKey(key);
    for (const auto& child : children)
        out += Dump(root, path + "\\" + child);
    return out;
}

class RegTool : public ::testing::Test {
  protected:
    TempFolder temp;
    std::string File(const char* name) const { return (temp.path() / name).string(); }
    // Runs the tool; input is fed to its standard input.
    Outcome Reg(const std::vector<std::string>& args, const std::string& input = "") const {
        const ChildRun run = RunChild(temp.path(), AFFICHEUR_REG, args, input, true);
        return {run.status, run.out};
    }
    // A key as the tool is given it, and as it names it back when given the root's full name:
    // root, then path below it, for what this process sees as that root.
    std::string Key(const std::string& root, const std::string& path = "") const {
        const std::string top = temp.RegistryRootForChildren(root);
        return path.empty() ? top : top + "\\" + path;
    }
};

}  // namespace regtest

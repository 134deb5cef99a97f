// The settings writers on a bad disk: a settings folder that is read-only, full or missing,
// and a settings file that is a directory, for the INI route and the registry store. Every
// case runs in a child process with a mount namespace of its own (a read-only bind mount, a
// small tmpfs); where the machine refuses that, the case is skipped (and fails under ./test
// where the machine allows it, see FaultSkip.h). In every case: no crash, the old data byte
// for byte, ProfileSetting returns what it documents (mode 0 the value, mode 2 the default)
// and each failed write leaves exactly one log line that names the file and the reason.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Profile.h"
#include "platform/Registry.h"
#include "settings/INI32.h"
#include "support/FaultSkip.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSkipped = 77;

// Thrown in the child when the machine will not let it set up the fault.
struct Refused {
    std::string what;
};

// What a child reports: named results and the log lines each step left.
struct Report {
    bool skipped = false;
    std::string why;
    std::vector<std::pair<std::string, std::string>> fields;

    std::string operator[](const std::string& name) const {
        for (const auto& [key, value] : fields)
            if (key == name) return value;
        ADD_FAILURE() << "the child did not report " << name;
        return {};
    }
};

// The child's side: records results, and the stderr output of each step (fd 2 is a file).
class Child {
  public:
    void Set(const std::string& name, const std::string& value) {
        fields_.emplace_back(name, value);
    }
    // Runs one step and records what it returned and what it logged.
    void Step(const std::string& name, const std::function<std::string()>& step) {
        const off_t before = ::lseek(2, 0, SEEK_END);
        Set(name, step());
        const off_t after = ::lseek(2, 0, SEEK_END);
        std::string log(static_cast<size_t>(after - before), '\0');
        if (::pread(2, log.data(), log.size(), before) < 0) log = "(log unreadable)";
        Set(name + ".log", log);
    }
    const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }

  private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

void Encode(std::string& out, const std::string& text) {
    out += std::to_string(text.size()) + ":" + text;
}

std::optional<std::string> Decode(std::string_view& in) {
    const size_t colon = in.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const size_t size = std::stoul(std::string(in.substr(0, colon)));
    if (colon + 1 + size > in.size()) return std::nullopt;
    std::string text(in.substr(colon + 1, size));
    in.remove_prefix(colon + 1 + size);
    return text;
}

std::string ReadAll(FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    return text;
}

// Runs body in a child process in a mount namespace of its own, with its stderr captured.
Report InChild(const std::function<void(Child&)>& body) {
    FILE* out = std::tmpfile();
    FILE* log = std::tmpfile();
    Report report;
    if (out == nullptr || log == nullptr) {
        ADD_FAILURE() << "no temporary file";
        return report;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::fileno(log), 2);
        std::string encoded;
        int status = 0;
        try {
            const int flags = ::geteuid() == 0 ? CLONE_NEWNS : (CLONE_NEWUSER | CLONE_NEWNS);
            if (::unshare(flags) != 0) throw Refused{"unshare refused"};
            // Mounts made from here on stay in this namespace.
            if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
                throw Refused{"cannot make the mounts private"};
            }
            Child child;
            body(child);
            for (const auto& [name, value] : child.fields()) {
                Encode(encoded, name);
                Encode(encoded, value);
            }
        } catch (const Refused& refused) {
            encoded = refused.what;
            status = kSkipped;
        } catch (...) {
            status = 1;
        }
        std::fwrite(encoded.data(), 1, encoded.size(), out);
        std::fflush(out);
        ::_exit(status);
    }
    int status = -1;
    const bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    const std::string encoded = ReadAll(out);
    std::fclose(out);
    std::fclose(log);
    if (!exited || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != kSkipped)) {
        ADD_FAILURE() << "the child crashed or failed (status " << status << ")";
        return report;
    }
    if (WEXITSTATUS(status) == kSkipped) {
        report.skipped = true;
        report.why = encoded;
        return report;
    }
    std::string_view in = encoded;
    while (!in.empty()) {
        auto name = Decode(in);
        auto value = name ? Decode(in) : std::nullopt;
        if (!value) {
            ADD_FAILURE() << "the child's report is cut short";
            break;
        }
        report.fields.emplace_back(std::move(*name), std::move(*value));
    }
    return report;
}

void MountReadOnly(const fs::path& folder) {
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        throw Refused{"cannot bind-mount read-only"};
    }
}

void MountSmallTmpfs(const fs::path& folder, const char* size) {
    const std::string options = std::string("size=") + size;
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        throw Refused{"cannot mount a tmpfs"};
    }
}

// Fills the file system of folder until a write fails for want of space. Bounded.
void FillUp(const fs::path& folder) {
    const int fd = ::open((folder / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) throw Refused{"cannot create the filler"};
    const std::string block(512, 'f');
    for (int n = 0; n < 100000; ++n) {
        if (::write(fd, block.data(), block.size()) < 0) break;
    }
    ::close(fd);
}

int LineCount(const std::string& log) {
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

// Exactly one line, naming the file and holding the reason.
void ExpectOneLine(const std::string& log, const std::string& file, const std::string& reason,
                   const std::string& step) {
    EXPECT_EQ(LineCount(log), 1) << step << ":\n" << log;
    EXPECT_NE(log.find(file), std::string::npos) << step << ": the file is not named:\n" << log;
    EXPECT_NE(log.find(reason), std::string::npos) << step << ": no reason '" << reason << "':\n"
                                                   << log;
}

enum class Fault { ReadOnly, Full, Directory };

struct FaultCase {
    const char* name;
    Fault fault;
    const char* reason;  // as the log line gives it
};

std::string Describe(const FaultCase& c) {
    return c.name;
}

// --- INI route ---------------------------------------------------------------------------

const std::string kIniText = "[ecran]\nip=10.0.0.5\n";

class IniFault : public testing::TestWithParam<FaultCase> {
  protected:
    TempFolder temp_;
};

TEST_P(IniFault, WritesFailWithOneLineAndTheFileStaysAsItWas) {
    const FaultCase c = GetParam();
    const fs::path folder = temp_.settings();
    const fs::path file = folder / "afficheur.ini";
    fs::create_directories(folder);
    if (c.fault == Fault::Directory) {
        fs::create_directory(file);
        WriteFile(file / "inside", "kept");
    } else {
        WriteFile(file, kIniText);
    }

    const Report report = InChild([&](Child& child) {
        if (c.fault == Fault::ReadOnly) MountReadOnly(folder);
        if (c.fault == Fault::Full) {
            MountSmallTmpfs(folder, "16k");
            WriteFile(file, kIniText);
            FillUp(folder);
        }
        child.Step("api", [] {
            return std::to_string(
                platform::WritePrivateProfileStringA("ecran", "ip", "10.0.0.6", "afficheur.ini"));
        });
        child.Step("mode0", [] {
            return INI32::ProfileSetting("ecran", "port", "8080", "afficheur.ini", 0);
        });
        child.Step("mode2", [] {
            return INI32::ProfileSetting("ecran", "port", "8080", "afficheur.ini", 2);
        });
        child.Step("read",
                   [] { return INI32::ProfileSetting("ecran", "ip", "none", "afficheur.ini", 2); });
        // Seen from inside, where the tmpfs holds the file.
        child.Set("content", fs::is_directory(file) ? "(directory) " + ReadFile(file / "inside")
                                                    : ReadFile(file));
        child.Set("others", std::to_string(std::distance(fs::directory_iterator(folder),
                                                         fs::directory_iterator())));
    });
    if (report.skipped) SKIP_FAULT(report.why);

    const std::string path = file.string();
    EXPECT_EQ(report["api"], "0");
    ExpectOneLine(report["api.log"], path, c.reason, "WritePrivateProfileStringA");
    EXPECT_EQ(report["mode0"], "8080");
    ExpectOneLine(report["mode0.log"], path, c.reason, "mode 0");
    EXPECT_EQ(report["mode2"], "8080");
    ExpectOneLine(report["mode2.log"], path, c.reason, "mode 2 writing its default");
    if (c.fault == Fault::Directory) {
        EXPECT_EQ(report["read"], "none");
        ExpectOneLine(report["read.log"], path, c.reason, "mode 2 on a directory");
        EXPECT_EQ(report["content"], "(directory) kept");
        EXPECT_EQ(report["others"], "1") << "nothing left beside the directory";
    } else {
        EXPECT_EQ(report["read"], "10.0.0.5");
        EXPECT_EQ(report["read.log"], "");
        EXPECT_EQ(report["content"], kIniText);
        // The file, and the filler on the full disk: no temporary file left behind.
        EXPECT_EQ(report["others"], c.fault == Fault::Full ? "2" : "1");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, IniFault,
    testing::Values(FaultCase{"ReadOnlyFolder", Fault::ReadOnly, "Read-only file system"},
                    FaultCase{"FullFolder", Fault::Full, "No space left on device"},
                    FaultCase{"FileIsADirectory", Fault::Directory, "not a regular file"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return Describe(info.param); });

// A file named with a folder that does not exist: nothing is created, one line per write.
TEST(IniMissingFolder, AFolderNamedInThePathIsNotCreatedAndEachWriteLogsOnce) {
    TempFolder temp;
    const fs::path file = temp.path() / "gone" / "shop.ini";
    const std::string name = file.string();
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::WritePrivateProfileStringA("ecran", "ip", "10.0.0.6", name.c_str()), 0);
    const std::string apiLog = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    EXPECT_EQ(INI32::ProfileSetting("ecran", "ip", "10.0.0.7", name, 0), "10.0.0.7");
    const std::string mode0Log = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    EXPECT_EQ(INI32::ProfileSetting("ecran", "ip", "10.0.0.8", name, 2), "10.0.0.8");
    const std::string mode2Log = testing::internal::GetCapturedStderr();
    for (const auto& [step, log] :
         {std::pair{"api", apiLog}, {"mode 0", mode0Log}, {"mode 2", mode2Log}}) {
        ExpectOneLine(log, name, "No such file or directory", step);
    }
    EXPECT_FALSE(fs::exists(file.parent_path()));
}

// A settings folder that does not exist yet is made by the first write, without a word.
TEST(MissingSettingsFolder, IsCreatedByTheFirstWriteOfEitherRoute) {
    TempFolder temp;
    ASSERT_FALSE(fs::exists(temp.settings()));
    testing::internal::CaptureStderr();
    EXPECT_EQ(INI32::ProfileSetting("ecran", "ip", "10.0.0.5", "afficheur.ini", 2), "10.0.0.5");
    EXPECT_EQ(ReadFile(temp.settings() / "afficheur.ini"), kIniText);
    fs::remove_all(temp.settings());
    EXPECT_EQ(
        INI32::ProfileSetting("ecran", "ip", "10.0.0.5", "$HKEY_CURRENT_USER\\Software\\Shop", 2),
        "10.0.0.5");
    EXPECT_EQ(INI32::ProfileSetting("ecran", "ip", "x", "$HKEY_CURRENT_USER\\Software\\Shop", 1),
              "10.0.0.5");
    EXPECT_TRUE(fs::is_regular_file(temp.settings() / "registry.sqlite3"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// --- Registry store ----------------------------------------------------------------------

const std::string kKey = "$HKEY_CURRENT_USER\\Software\\Shop";

// Every value under the test's key with its type and data, read back through the registry
// calls: a commit sits in the store's write-ahead log, so the main file's bytes would not show
// a change.
std::string ReadBack() {
    using namespace platform;
    HKEY key = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shop\\ecran", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    std::string out;
    for (DWORD i = 0; i < 100; ++i) {
        char name[64];
        DWORD length = sizeof name;
        DWORD type = 0;
        std::string data(128 * 1024, '\0');
        DWORD size = static_cast<DWORD>(data.size());
        const LONG rc = RegEnumValueA(key, i, name, &length, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc != ERROR_SUCCESS) {
            if (rc != ERROR_NO_MORE_ITEMS) out += "<error " + std::to_string(rc) + ">";
            break;
        }
        out += std::string(name, length) + " " + std::to_string(type) + " " + data.substr(0, size) +
               "\n";
    }
    RegCloseKey(key);
    return out;
}

class RegistryFault : public testing::TestWithParam<FaultCase> {
  protected:
    TempFolder temp_;
};

TEST_P(RegistryFault, WritesFailWithOneLineAndTheStoreKeepsItsData) {
    const FaultCase c = GetParam();
    const fs::path folder = temp_.settings();
    const fs::path store = folder / "registry.sqlite3";
    fs::create_directories(folder);
    std::string before;
    if (c.fault == Fault::Directory) {
        fs::create_directory(store);
        WriteFile(store / "inside", "kept");
    } else if (c.fault == Fault::ReadOnly) {
        ASSERT_EQ(INI32::ProfileSetting("ecran", "ip", "10.0.0.5", kKey, 0), "10.0.0.5");
        before = ReadBack();
        ASSERT_NE(before.find("ip 1 10.0.0.5"), std::string::npos) << before;
    }

    const Report report = InChild([&](Child& child) {
        if (c.fault == Fault::ReadOnly) MountReadOnly(folder);
        if (c.fault == Fault::Full) {
            MountSmallTmpfs(folder, "256k");
            if (INI32::ProfileSetting("ecran", "ip", "10.0.0.5", kKey, 0) != "10.0.0.5" ||
                !fs::exists(store)) {
                throw Refused{"no store on the tmpfs"};
            }
            FillUp(folder);
        }
        const std::string big(64 * 1024, 'b');  // more than any space left
        child.Step("mode0", [&] { return INI32::ProfileSetting("ecran", "port", big, kKey, 0); });
        child.Step("mode2", [] { return INI32::ProfileSetting("ecran", "port", "8080", kKey, 2); });
        child.Step("read", [] { return INI32::ProfileSetting("ecran", "ip", "none", kKey, 1); });
        child.Step("port", [] { return INI32::ProfileSetting("ecran", "port", "none", kKey, 1); });
        if (c.fault == Fault::Full) {
            // Once there is room again, the store takes writes.
            fs::remove(folder / "filler");
            child.Step("after", [] {
                INI32::ProfileSetting("ecran", "port", "8080", kKey, 0);
                return INI32::ProfileSetting("ecran", "port", "none", kKey, 1);
            });
        }
        if (c.fault == Fault::Directory) child.Set("inside", ReadFile(store / "inside"));
    });
    if (report.skipped) SKIP_FAULT(report.why);

    const std::string path = store.string();
    EXPECT_EQ(report["mode0"], std::string(64 * 1024, 'b'));
    ExpectOneLine(report["mode0.log"], path, c.reason, "mode 0");
    EXPECT_EQ(report["mode2"], "8080");
    if (c.fault == Fault::Directory) {
        // The read fails too, then the write of the default: one line for each.
        EXPECT_EQ(LineCount(report["mode2.log"]), 2) << report["mode2.log"];
        EXPECT_EQ(report["read"], "none");
        EXPECT_EQ(report["inside"], "kept");
        EXPECT_TRUE(fs::is_directory(store));
    } else {
        ExpectOneLine(report["mode2.log"], path, c.reason, "mode 2 writing its default");
        EXPECT_EQ(report["read"], "10.0.0.5");
        EXPECT_EQ(report["read.log"], "");
        EXPECT_EQ(report["port"], "none") << "nothing of the failed writes is kept";
    }
    if (c.fault == Fault::ReadOnly) {
        EXPECT_EQ(ReadBack(), before);
    }
    if (c.fault == Fault::Full) {
        EXPECT_EQ(report["after"], "8080");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RegistryFault,
    testing::Values(FaultCase{"ReadOnlyFolder", Fault::ReadOnly, "readonly"},
                    FaultCase{"FullFolder", Fault::Full, "full"},
                    FaultCase{"StoreIsADirectory", Fault::Directory, "unable to open"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return Describe(info.param); });

}  // namespace

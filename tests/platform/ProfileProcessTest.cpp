// Settings writes from several processes: a writer killed at any moment, and two writers at
// the same time, must never cost a key that the file held.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <random>
#include <string>

#include "platform/Profile.h"
#include "support/TempFolder.h"

using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

namespace {

std::string Get(const std::string& section, const std::string& key, const std::string& file) {
    std::array<char, 600> buffer{};
    const auto n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>",
                                            buffer.data(), 590, file.c_str());
    return std::string(buffer.data(), n);
}

// Runs body in a child process that ends with _exit, never returning into the test.
template <typename Body>
pid_t Spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    return pid;
}

bool ExitedCleanly(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(ProfileProcesses, AWriterKilledAtAnyMomentNeverLosesAKey) {
    TempFolder temp;
    const std::string file = (temp.path() / "killed.ini").string();
    constexpr int kKeys = 40;
    for (int k = 0; k < kKeys; ++k) {
        WritePrivateProfileStringA("held", ("k" + std::to_string(k)).c_str(), "v", file.c_str());
    }

    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        const pid_t writer = Spawn([&] {
            // Rewrites held keys and adds new ones for as long as it lives (bounded anyway).
            for (int i = 0; i < 100000; ++i) {
                const std::string key = "k" + std::to_string(i % kKeys);
                const std::string value = "r" + std::to_string(round) + "-" + std::to_string(i);
                WritePrivateProfileStringA("held", key.c_str(), value.c_str(), file.c_str());
                WritePrivateProfileStringA("added", key.c_str(), value.c_str(), file.c_str());
            }
        });
        ASSERT_GT(writer, 0);
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 8000)(random));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);

        for (int k = 0; k < kKeys; ++k) {
            ASSERT_NE(Get("held", "k" + std::to_string(k), file), "<missing>")
                << "round " << round << " lost key k" << k;
        }
    }
}

TEST(ProfileProcesses, TwoWritersAtOnceKeepAllTheirKeys) {
    TempFolder temp;
    const std::string file = (temp.path() / "shared.ini").string();
    constexpr int kKeysEach = 500;
    auto writerOf = [&](int id) {
        return Spawn([&file, id] {
            for (int i = 0; i < kKeysEach; ++i) {
                const std::string key = "p" + std::to_string(id) + "-" + std::to_string(i);
                if (!WritePrivateProfileStringA("keys", key.c_str(), "x", file.c_str())) _exit(1);
            }
        });
    };
    const pid_t first = writerOf(1);
    const pid_t second = writerOf(2);
    ASSERT_TRUE(ExitedCleanly(first));
    ASSERT_TRUE(ExitedCleanly(second));

    int present = 0;
    for (int id = 1; id <= 2; ++id) {
        for (int i = 0; i < kKeysEach; ++i) {
            present += Get("keys", "p" + std::to_string(id) + "-" + std::to_string(i), file) == "x";
        }
    }
    EXPECT_EQ(present, 2 * kKeysEach);
}

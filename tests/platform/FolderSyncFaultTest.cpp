// A replace whose folder cannot be flushed to disk (a failing disk gives EIO). This program
// stands in its own fsync for the system's, failing for folders when a test asks it to, so
// it is a test program of its own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>

#include "platform/Profile.h"
#include "support/TempFolder.h"

namespace {
std::atomic<bool> failFolderSync{false};
}

extern "C" int fsync(int fd) {
    struct stat info {};
    if (failFolderSync && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

TEST(FolderSync, AFolderThatCannotBeFlushedIsReportedAndTheNewContentKept) {
    TempFolder temp;
    const std::string file = (temp.path() / "f.ini").string();
    WriteFile(file, "[s]\nk=v\n");
    failFolderSync = true;
    testing::internal::CaptureStderr();
    const bool written = platform::WritePrivateProfileStringA("s", "k", "w", file.c_str()) != 0;
    const std::string log = testing::internal::GetCapturedStderr();
    failFolderSync = false;
    EXPECT_TRUE(written) << "the new content is in place";
    EXPECT_EQ(ReadFile(file), "[s]\nk=w\n");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("could not flush its folder"), std::string::npos) << log;
    EXPECT_NE(log.find(file), std::string::npos) << log;
    EXPECT_NE(log.find("Input/output error"), std::string::npos) << log;
}

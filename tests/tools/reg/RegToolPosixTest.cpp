// afficheur-reg's cases about files that only Linux makes here: a FIFO to import, and links
// at an export's target. RegToolTest.cpp has the cases that run on every system.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RegToolFixture.h"

using namespace platform;
using regtest::Outcome;
using regtest::RegTool;
using regtest::Set;

// An export replaces its target whole through a new file: a symbolic link there is replaced,
// not followed, and another name of the old file keeps the old content.
TEST_F(RegTool, ExportReplacesTheTargetAndNeverWritesThroughIt) {
    Set(HKEY_CURRENT_USER, "K", "v", REG_SZ, std::string("x\0", 2));
    WriteFile(File("elsewhere.reg"), "kept");
    std::filesystem::create_symlink(File("elsewhere.reg"), File("link.reg"));
    WriteFile(File("old.reg"), "old");
    ASSERT_EQ(::link(File("old.reg").c_str(), File("other-name.reg").c_str()), 0);

    EXPECT_EQ(Reg({"export", Key("HKCU", "K"), File("link.reg")}).status, 1)
        << "a symbolic link is a file that exists";
    for (const char* target : {"link.reg", "old.reg"}) {
        const Outcome run = Reg({"export", Key("HKCU", "K"), File(target), "/y"});
        EXPECT_EQ(run.status, 0) << target << ": " << run.output;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(File(target))))
            << target;
        EXPECT_EQ(ReadFile(File(target)).substr(0, 2), "\xFF\xFE") << target;
    }
    EXPECT_EQ(ReadFile(File("elsewhere.reg")), "kept");
    EXPECT_EQ(ReadFile(File("other-name.reg")), "old");
}

// A FIFO is refused at once instead of waiting for a writer.
TEST_F(RegTool, ImportRefusesAFifoWithoutWaiting) {
    ASSERT_EQ(::mkfifo(File("fifo.reg").c_str(), 0600), 0);
    const Outcome run = Reg({"import", File("fifo.reg")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output.find("ERROR: "), 0u) << run.output;
    EXPECT_NE(run.output.find("not a regular file"), std::string::npos) << run.output;
}

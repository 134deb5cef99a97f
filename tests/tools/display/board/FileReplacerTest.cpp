// The state file's writer on its own thread: the newest content wins, Wait tells whether it
// was written, and a write that fails is tried again with the next content.

#include "board/FileReplacer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/TempFolder.h"

namespace display {
namespace {

TEST(FileReplacer, WritesTheNewestContentAndSaysWhenAWriteFailed) {
    TempFolder folder;
    const auto path = folder.path() / "state" / "d.json";
    std::string error;
    auto file = StateFile::Open(path.string(), &error);
    ASSERT_TRUE(file) << error;
    FileReplacer replacer(std::make_shared<const StateFile>(std::move(*file)));
    for (int i = 0; i < 100; ++i)
        replacer.Replace("board " + std::to_string(i) + "\n");
    EXPECT_TRUE(replacer.Wait());
    EXPECT_EQ(ReadFile(path), "board 99\n") << "only the newest content counts";

    // A folder put where the file is: the write fails and says so, and the folder is left;
    // once it is gone, the next content is written.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    replacer.Replace("lost\n");
    EXPECT_FALSE(replacer.Wait());
    EXPECT_TRUE(std::filesystem::is_directory(path));
    std::filesystem::remove(path);
    replacer.Replace("back\n");
    EXPECT_TRUE(replacer.Wait());
    EXPECT_EQ(ReadFile(path), "back\n");
}

}  // namespace
}  // namespace display

// The folders of the source tree include one another only along the arrows of the table in
// the design section of docs/architecture.md, so the documentation and the build cannot drift
// apart.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "layers/Layers.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = AFFICHEUR_SOURCE_DIR;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

const char* const kSmallDocument = R"(# A project

| folder | may include |
|---|---|
| `low` | - |
| `mid` | `low` |
| `top` | `mid`, `low/Plain.h`, `Qt` |
| `tools/tool` | `low` |
| `tools/tool/out` | `tools/tool/board`, `low` |

After the table.
| folder | may include |
| `stray` | `top` |
)";

TEST(LayerCheck, ReadsOneRowPerFolderUpToTheEndOfTheTable) {
    const auto table = layers::ReadTable(kSmallDocument);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->size(), 5u);
    EXPECT_TRUE(table->at("low").folders.empty());
    EXPECT_EQ(table->at("top").folders, std::set<std::string>{"mid"});
    EXPECT_EQ(table->at("top").headers, std::set<std::string>{"low/Plain.h"});
    EXPECT_TRUE(table->at("top").qt);
    EXPECT_FALSE(table->at("mid").qt);
    EXPECT_FALSE(table->contains("stray"));
    EXPECT_FALSE(layers::ReadTable("# no table here\n| a | b |\n").has_value());
}

TEST(LayerCheck, FindsTheFolderOfAFile) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"src/client/Form1.cpp", "client"},
        {"app/main.cpp", "app"},
        {"tools/reg/main.cpp", "tools/reg"},
        {"tools/README.md", ""},
        {"tools/display/web/WebServer.cpp", "tools/display/web"},
        {"src/CMakeLists.txt", ""},
        {"tests/client/Form1Test.cpp", ""},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(layers::FolderOf(path), folder) << path;
}

TEST(LayerCheck, NamesFileAndLineOfEveryArrowTheTableDoesNotHold) {
    const auto table = *layers::ReadTable(kSmallDocument);
    struct Case {
        const char* name;
        const char* path;
        const char* text;
        std::vector<std::string> breaks;
    };
    const std::vector<Case> cases = {
        {"own folder and listed folder",
         "src/mid/A.cpp",
         "#include \"mid/A.h\"\n#include \"low/B.h\"\n#include <string>\n",
         {}},
        {"a folder that is not listed",
         "src/low/A.cpp",
         "\n#include \"mid/A.h\"\n",
         {"src/low/A.cpp:2: low -> mid/A.h is not in the table"}},
        {"the arrow runs one way only",
         "src/mid/A.cpp",
         "#include \"top/T.h\"\n",
         {"src/mid/A.cpp:1: mid -> top/T.h is not in the table"}},
        {"one listed header, not its neighbour",
         "src/top/A.cpp",
         "#include \"low/Plain.h\"\n#include \"low/Other.h\"\n",
         {"src/top/A.cpp:2: top -> low/Other.h is not in the table"}},
        {"Qt where it is listed", "src/top/A.cpp", "#include <QWidget>\n", {}},
        {"Qt where it is not",
         "src/low/A.cpp",
         "#include <cstdint>\n  #  include <QtGui/qguiapplication_platform.h>\n",
         {"src/low/A.cpp:2: low -> <QtGui/qguiapplication_platform.h> (Qt) is not in the "
          "table"}},
        {"a tool's own files",
         "tools/tool/main.cpp",
         "#include \"Local.h\"\n#include \"low/L.h\"\n",
         {}},
        {"a tool reaching past its row",
         "tools/tool/main.cpp",
         "#include \"top/T.h\"\n",
         {"tools/tool/main.cpp:1: tools/tool -> top/T.h is not in the table"}},
        {"a tool's folder including a sibling its row lists, and one it does not",
         "tools/tool/out/A.cpp",
         "#include \"board/B.h\"\n#include \"out/A.h\"\n#include \"input/I.h\"\n",
         {"tools/tool/out/A.cpp:3: tools/tool/out -> input/I.h is not in the table"}},
        {"a folder without a row",
         "src/new/A.cpp",
         "#include \"low/L.h\"\n",
         {"src/new/A.cpp:1: folder 'new' has no row in the table"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(layers::Breaks(table, c.path, c.text), c.breaks) << c.name;
    }
}

// The table of docs/architecture.md, read once for the tree checks.
const fs::path kArchitecture = kSourceRoot / "docs" / "architecture.md";

layers::Table ArchitectureTable() {
    if (!fs::is_regular_file(kArchitecture)) ADD_FAILURE() << kArchitecture << " is missing";
    const auto table = layers::ReadTable(Read(kArchitecture));
    if (!table) {
        ADD_FAILURE() << kArchitecture << " has no table headed | folder | may include |";
    }
    return table.value_or(layers::Table{});
}

TEST(Layers, EveryIncludeInTheTreeFollowsTheArchitectureTable) {
    const layers::Table table = ArchitectureTable();
    std::vector<std::string> breaks;
    size_t files = 0;
    for (const char* top : {"src", "app", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot / top)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
            const std::string relative = entry.path().lexically_relative(kSourceRoot).string();
            const std::string text = Read(entry.path());
            const auto found = layers::Breaks(table, relative, text);
            breaks.insert(breaks.end(), found.begin(), found.end());
            // An include without a folder is the file's own, so it must be in its folder: a
            // header found elsewhere on the include path would slip past the table.
            static const std::regex bare(R"re(^\s*#\s*include\s*"([^"/]+)")re");
            std::istringstream lines(text);
            std::string line;
            for (int number = 1; std::getline(lines, line); ++number) {
                std::smatch match;
                if (std::regex_search(line, match, bare) &&
                    !fs::exists(entry.path().parent_path() / match[1].str())) {
                    breaks.push_back(relative + ":" + std::to_string(number) + ": " +
                                     match[1].str() + " is not in the file's own folder");
                }
            }
            ++files;
        }
    }
    EXPECT_GT(files, 50u) << "the walk found too few sources under " << kSourceRoot;
    EXPECT_TRUE(breaks.empty()) << Lines(breaks);
}

TEST(Layers, EveryRowOfTheArchitectureTableNamesAFolderOfTheTree) {
    for (const auto& [folder, allowed] : ArchitectureTable()) {
        const fs::path path = folder == "app" || folder.starts_with("tools/")
                                  ? kSourceRoot / folder
                                  : kSourceRoot / "src" / folder;
        EXPECT_TRUE(fs::is_directory(path)) << "the row for '" << folder << "' names no folder";
        for (const std::string& header : allowed.headers) {
            EXPECT_TRUE(fs::is_regular_file(kSourceRoot / "src" / header))
                << "the row for '" << folder << "' names a missing header " << header;
        }
    }
}

}  // namespace

// afficheur-reg end to end: each command run as a process on the registry of the test, round
// trips through both .reg formats, and the errors a user meets. On Linux that registry is a
// store in a temporary folder; on Windows (under Wine) the system's, where this process sees
// scratch keys as the roots and the commands name those keys (TempFolder). RegToolPosixTest.cpp
// has the cases about files that only Linux makes (FIFOs, links).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ReadValue.h"
#include "RegToolFixture.h"
#include "platform/Registry.h"
#include "settings/INI32.h"

using namespace platform;
using regtest::Dump;
using regtest::Outcome;
using regtest::RegTool;
using regtest::Set;

TEST_F(RegTool, QueryShowsWhatTheRegistryRouteOfTheClientWrote) {
    EXPECT_EQ(INI32::ProfileSetting("ecran", "port", "0", "$HKEY_CURRENT_USER\\Software\\Shop", 2),
              "0");
    const Outcome run = Reg({"query", Key("hkcu", "Software\\Shop\\ecran")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find(Key("HKEY_CURRENT_USER", "Software\\Shop\\ecran") + "\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("    port    REG_SZ    0\n"), std::string::npos) << run.output;
    const Outcome one =
        Reg({"query", Key("HKEY_CURRENT_USER", "Software\\Shop\\ecran"), "--value=PORT"});
    EXPECT_EQ(one.status, 0);
    EXPECT_NE(one.output.find("port    REG_SZ    0"), std::string::npos) << one.output;
}

TEST_F(RegTool, AddSetsEachTypeAndOverwritesOnlyWhenAllowed) {
    struct Case {
        std::vector<std::string> arguments;
        const char* name;
        DWORD type;
        std::string bytes;
    };
    const Case cases[] = {
        {{"/v", "s", "/d", "caf\xC3\xA9"}, "s", REG_SZ, std::string("caf\xE9\0", 5)},
        {{"/v", "e", "/t", "REG_EXPAND_SZ", "/d", "%HOME%"},
         "e",
         REG_EXPAND_SZ,
         std::string("%HOME%\0", 7)},
        {{"/v", "m", "/t", "reg_multi_sz", "/d", "a\\0b"},
         "m",
         REG_MULTI_SZ,
         std::string("a\0b\0\0", 5)},
        {{"/v", "m2", "/t", "REG_MULTI_SZ", "/s", ",", "/d", "a,b"},
         "m2",
         REG_MULTI_SZ,
         std::string("a\0b\0\0", 5)},
        {{"/v", "d", "/t", "REG_DWORD", "/d", "0x10"},
         "d",
         REG_DWORD,
         std::string("\x10\0\0\0", 4)},
        {{"/v", "q", "/t", "REG_QWORD", "/d", "1"},
         "q",
         REG_QWORD,
         std::string("\x01\0\0\0\0\0\0\0", 8)},
        {{"/v", "b", "/t", "REG_BINARY", "/d", "00FF"}, "b", REG_BINARY, std::string("\0\xFF", 2)},
        {{"/ve", "/d", "def"}, "", REG_SZ, std::string("def\0", 4)},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"add", Key("HKCU", "K")};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Outcome run = Reg(arguments);
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.output;
        EXPECT_NE(Dump(HKEY_CURRENT_USER, "K")
                      .find(std::string(c.name) + " " + std::to_string(c.type) + " " +
                            std::to_string(c.bytes.size()) + ":" + c.bytes + "\n"),
                  std::string::npos)
            << c.name;
    }
    EXPECT_EQ(Reg({"add", Key("HKCU", "K"), "/v", "s", "/d", "new"}, "no\n").status, 0);
    EXPECT_NE(Dump(HKEY_CURRENT_USER, "K").find("s 1 5:caf\xE9"), std::string::npos)
        << "answering no keeps the value";
    EXPECT_EQ(Reg({"add", Key("HKCU", "K"), "/v", "s", "/d", "new", "--force"}).status, 0);
    EXPECT_NE(Dump(HKEY_CURRENT_USER, "K").find(std::string("s 1 4:new\0", 10)), std::string::npos);
    EXPECT_EQ(Reg({"add", Key("HKLM", "Only\\Key")}).status, 0);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, "Only\\Key"), "[Only\\Key]\n");
}

TEST_F(RegTool, DeleteAsksUnlessForced) {
    Set(HKEY_CURRENT_USER, "T\\Sub\\Deep", "v", REG_SZ, std::string("x\0", 2));
    Set(HKEY_CURRENT_USER, "T", "a", REG_SZ, std::string("x\0", 2));
    Set(HKEY_CURRENT_USER, "T", "b", REG_SZ, std::string("x\0", 2));
    const std::string key = Key("HKCU", "T");
    EXPECT_EQ(Reg({"delete", key, "/v", "a"}, "n\n").status, 0);
    EXPECT_NE(Dump(HKEY_CURRENT_USER, "T").find("\na 1"), std::string::npos) << "kept on no";
    EXPECT_EQ(Reg({"delete", key, "/v", "a"}, "yes\n").status, 0);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "T").find("\na 1"), std::string::npos);
    EXPECT_EQ(Reg({"delete", key, "/va", "/f"}).status, 0);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "T").find("\nb 1"), std::string::npos);
    EXPECT_NE(Dump(HKEY_CURRENT_USER, "T").find("[T\\Sub\\Deep]"), std::string::npos);
    EXPECT_EQ(Reg({"delete", key, "--force"}).status, 0);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "T"), "<none>") << "the key went with its tree";
}

TEST_F(RegTool, ExportThenImportIntoAnEmptyStoreGivesBackEveryByte) {
    const std::string longBinary(300, '\xA5');
    Set(HKEY_CURRENT_USER, "Shop", "text", REG_SZ, std::string("caf\xE9 \"q\" \\\0", 12));
    Set(HKEY_CURRENT_USER, "Shop", "", REG_SZ, std::string("default\0", 8));
    Set(HKEY_CURRENT_USER, "Shop", "unterminated", REG_SZ, "abc");
    Set(HKEY_CURRENT_USER, "Shop", "inner zero", REG_SZ, std::string("a\0b\0", 4));
    Set(HKEY_CURRENT_USER, "Shop", "line break", REG_SZ, std::string("x\r\ny\0", 5));
    Set(HKEY_CURRENT_USER, "Shop", "expand", REG_EXPAND_SZ, std::string("%P%\x80\0", 5));
    Set(HKEY_CURRENT_USER, "Shop", "multi", REG_MULTI_SZ, std::string("\xFF\0b\0\0", 5));
    Set(HKEY_CURRENT_USER, "Shop", "dword", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    Set(HKEY_CURRENT_USER, "Shop", "short dword", REG_DWORD, std::string("\x01", 1));
    Set(HKEY_CURRENT_USER, "Shop", "qword", REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8));
    Set(HKEY_CURRENT_USER, "Shop", "binary", REG_BINARY, longBinary);
    Set(HKEY_CURRENT_USER, "Shop", "empty", REG_NONE, "");
    Set(HKEY_CURRENT_USER, "Shop", "odd type", 0x12345, "zz");
    Set(HKEY_CURRENT_USER, "Shop\\Caf\xE9\\Deep", "n", REG_SZ, std::string("1\0", 2));
    const std::string before = Dump(HKEY_CURRENT_USER, "Shop");
    const std::string key = Key("HKCU", "Shop");

    struct Case {
        const char* what;
        std::vector<std::string> options;
        std::string (*rewrite)(std::string);
    };
    const Case cases[] = {
        {"version 5.00", {}, [](std::string s) { return s; }},
        {"REGEDIT4", {"--regedit4"}, [](std::string s) { return s; }},
        {"REGEDIT4 with LF line ends",
         {"--regedit4"},
         [](std::string s) {
             std::string out;
             for (const char c : s) {
                 if (c != '\r') out.push_back(c);
             }
             return out;
         }},
    };
    for (const Case& c : cases) {
        const std::string file = File("shop.reg");
        std::vector<std::string> exportArguments{"export", key, file, "/y"};
        exportArguments.insert(exportArguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Reg(exportArguments).status, 0) << c.what;
        WriteFile(file, c.rewrite(ReadFile(file)));
        ASSERT_EQ(Reg({"delete", key, "/f"}).status, 0);
        ASSERT_EQ(Dump(HKEY_CURRENT_USER, "Shop"), "<none>");
        const Outcome run = Reg({"import", file});
        EXPECT_EQ(run.status, 0) << c.what << ": " << run.output;
        EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Shop"), before) << c.what;
    }
}

TEST_F(RegTool, TheExportReadsAsThePlatformsToolWritesIt) {
    Set(HKEY_CURRENT_USER, "K", "", REG_SZ, std::string("d\0", 2));
    Set(HKEY_CURRENT_USER, "K", "bin", REG_BINARY, std::string(40, '\x01'));
    Set(HKEY_CURRENT_USER, "K", "x", REG_EXPAND_SZ, std::string("\xE9\0", 2));
    ASSERT_EQ(Reg({"export", Key("HKEY_CURRENT_USER", "K"), File("k.reg")}).status, 0);
    const std::string bytes = ReadFile(File("k.reg"));
    std::string text;  // the UTF-16LE file, for a file of ASCII and é
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(bytes[i]);
    EXPECT_EQ(text,
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[" +
                  Key("HKEY_CURRENT_USER", "K") +
                  "]\r\n"
                  "@=\"d\"\r\n"
                  "\"bin\"=hex:01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,"
                  "01,\\\r\n"
                  "  01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01\r\n"
                  "\"x\"=hex(2):e9,00,00,00\r\n\r\n");
}

TEST_F(RegTool, BadInputGivesOneLineAndANonZeroStatus) {
    WriteFile(File("bad.reg"), "REGEDIT4\r\n\r\n[" + Key("HKEY_CURRENT_USER", "Good") +
                                   "]\r\n\"a\"=\"1\"\r\n\"b\"=dword:123456789\r\n");
    WriteFile(File("noroot.reg"), "REGEDIT4\n\n[HKEY_NOWHERE\\X]\n\"a\"=\"1\"\n");
    WriteFile(File("header.reg"), "[" + Key("HKEY_CURRENT_USER", "X") + "]\n");
    Set(HKEY_CURRENT_USER, "Broken", "two\nlines", REG_SZ, std::string("x\0", 2));
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        {"unknown root", {"query", "HKXX\\Y"}, "unknown root"},
        {"missing key", {"query", Key("HKCU", "Missing")}, "unable to find"},
        {"missing value", {"delete", Key("HKCU", "Good"), "/v", "nope", "/f"}, "unable to find"},
        {"dword too big",
         {"add", Key("HKCU", "X"), "/v", "d", "/t", "REG_DWORD", "/d", "4294967296"},
         "DWORD"},
        {"dword not a number",
         {"add", Key("HKCU", "X"), "/v", "d", "/t", "REG_DWORD", "/d", "ten"},
         "DWORD"},
        {"malformed line, with its number", {"import", File("bad.reg")}, "line 5"},
        {"unknown root in a file", {"import", File("noroot.reg")}, "unknown root"},
        {"no header", {"import", File("header.reg")}, "line 1"},
        {"unknown option", {"query", Key("HKCU"), "--frobnicate"}, "unknown option"},
        {"a name no file can hold",
         {"export", Key("HKCU", "Broken"), File("broken.reg")},
         "line break"},
    };
    for (const Case& c : cases) {
        const Outcome run = Reg(c.arguments);
        EXPECT_NE(run.status, 0) << c.what;
        EXPECT_EQ(run.output.find("ERROR: "), 0u) << c.what << ": " << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << c.what << ": one line";
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.what << ": " << run.output;
    }
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Good"), "<none>") << "nothing of a bad file is imported";
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "X"), "<none>");
    const Outcome help = Reg({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: afficheur-reg"), std::string::npos);
}

// A file that fails on a later section must not have applied its earlier ones, deletions
// least of all. Every case is found before the first change, so this holds on Windows too.
TEST_F(RegTool, ImportAppliesNothingOfAFileTheStoreWouldRefuse) {
    const std::string nul(1, '\0');
    Set(HKEY_CURRENT_USER, "Software\\Shop\\ecran", "port", REG_SZ, std::string("9100\0", 5));
    const std::string before = Dump(HKEY_CURRENT_USER, "Software\\Shop");
    const std::string user = Key("HKEY_CURRENT_USER");
    struct Case {
        const char* what;
        std::string section;
        const char* line;
    };
    const Case cases[] = {
        {"a key name over 255 characters",
         "[" + user + "\\Software\\Shop\\" + std::string(300, 'n') + "]\r\n", "line 8:"},
        {"a value name over 16383 characters",
         "[" + user + "\\Software\\Shop]\r\n\"" + std::string(16384, 'n') + "\"=\"x\"\r\n",
         "line 9:"},
        // After the root itself: the parser refuses it before anything is applied.
        {"a separator right after the root", "[HKEY_CURRENT_USER\\\\Software\\Shop]\r\n",
         "line 8:"},
        {"a NUL in a key path", "[" + user + "\\Software\\Shop" + nul + "x]\r\n",
         "line 8: a control character"},
        {"a NUL in a key path to delete", "[-" + user + "\\Software" + nul + "\\x]\r\n",
         "line 8: a control character"},
        {"a NUL in a value name to delete",
         "[" + user + "\\Software\\Shop\\ecran]\r\n\"port" + nul + "x\"=-\r\n",
         "line 9: a control character"},
    };
    for (const Case& c : cases) {
        WriteFile(File("late.reg"), "REGEDIT4\r\n\r\n[-" + user + "\\Software\\Shop]\r\n\r\n[" +
                                        user + "\\New]\r\n\"a\"=\"1\"\r\n\r\n" + c.section);
        const Outcome run = Reg({"import", File("late.reg")});
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_NE(run.output.find(c.line), std::string::npos) << c.what << ": " << run.output;
        EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Software\\Shop"), before) << c.what;
        EXPECT_EQ(Dump(HKEY_CURRENT_USER, "New"), "<none>") << c.what;
    }
}

// A value the client lengthens between the enumeration and the read is read again with its
// new size; one it deletes is reported gone, for the caller to skip.
TEST_F(RegTool, ReadValueReadsAgainAValueThatGrewAndTellsOneThatIsGone) {
    const std::string data = "grown well past the size first given";
    Set(HKEY_CURRENT_USER, "Live", "v", REG_BINARY, data);
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Live", 0, KEY_READ, &key), ERROR_SUCCESS);
    struct Case {
        const char* what;
        const char* name;
        DWORD size;
        LONG rc;
    };
    const Case cases[] = {
        {"the size the enumeration gave", "v", static_cast<DWORD>(data.size()), ERROR_SUCCESS},
        {"a larger buffer", "v", 1000, ERROR_SUCCESS},
        {"a value that grew since", "v", 4, ERROR_SUCCESS},
        {"a value that was empty", "v", 0, ERROR_SUCCESS},
        {"a value deleted since", "gone", 4, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        reg::Value value;
        EXPECT_EQ(reg::ReadValue(key, c.name, c.size, &value), c.rc) << c.what;
        if (c.rc != ERROR_SUCCESS) continue;
        EXPECT_EQ(value.name, c.name) << c.what;
        EXPECT_EQ(value.type, REG_BINARY) << c.what;
        EXPECT_EQ(value.data, data) << c.what;
    }
    RegCloseKey(key);
}

// An import reads only a regular file of at most 64 MiB (RegToolPosixTest.cpp: a FIFO).
TEST_F(RegTool, ImportRefusesWhatIsNotARegularFileOrIsTooLarge) {
    std::filesystem::create_directory(File("folder.reg"));
    WriteFile(File("huge.reg"), "REGEDIT4\n");
    std::filesystem::resize_file(File("huge.reg"), 64ull * 1024 * 1024 + 1);
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"folder.reg", "not a regular file"},
        {"huge.reg", "larger than 64 MiB"},
        {"missing.reg", "Cannot open"},
    };
    for (const Case& c : cases) {
        const Outcome run = Reg({"import", File(c.file)});
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_EQ(run.output.find("ERROR: "), 0u) << c.file << ": " << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.file << ": " << run.output;
    }
}

// An export replaces its target whole, asking first unless told, and leaves no temporary file
// (RegToolPosixTest.cpp: a link at the target).
TEST_F(RegTool, ExportReplacesAnExistingFileOnlyWhenTold) {
    Set(HKEY_CURRENT_USER, "K", "v", REG_SZ, std::string("x\0", 2));
    WriteFile(File("old.reg"), "old");
    const Outcome asked = Reg({"export", Key("HKCU", "K"), File("old.reg")});
    EXPECT_EQ(asked.status, 1);
    EXPECT_NE(asked.output.find("exists; use /y"), std::string::npos) << asked.output;
    EXPECT_EQ(ReadFile(File("old.reg")), "old");
    const Outcome run = Reg({"export", Key("HKCU", "K"), File("old.reg"), "/y"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadFile(File("old.reg")).substr(0, 2), "\xFF\xFE");
    for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.')
            << "no temporary file is left: " << entry.path();
    }
}

// A version 5.00 file keeps every character through the store and back out; a client that
// reads through the code-page calls sees '?' where its code page lacks one, as on Windows.
TEST_F(RegTool, AVersion5FileKeepsEveryCharacterThroughTheStore) {
    auto version5 = [](const std::u16string& text) {
        std::string bytes = "\xFF\xFE";
        for (const char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return bytes;
    };
    const std::string user = Key("HKEY_CURRENT_USER");
    const std::u16string key = std::u16string(user.begin(), user.end()) +  // ASCII
                               u"\\Software\\Bo\u0101t \u0141\u00F3d\u017A";
    // The values in name order too, as Wine lists them.
    const std::string file = version5(u"Windows Registry Editor Version 5.00\r\n\r\n[" + key +
                                      u"]\r\n"
                                      u"\"nom\"=\"Caf\u00E9 \u0151 \u03A9\"\r\n"
                                      u"\"path\"=hex(2):43,00,3a,00,5c,00,01,01,00,00\r\n"
                                      u"\"\u03A9\"=dword:00000001\r\n\r\n");
    WriteFile(File("in.reg"), file);
    const Outcome run = Reg({"import", File("in.reg")});
    ASSERT_EQ(run.status, 0) << run.output;

    ASSERT_EQ(
        Reg({"export", Key("HKCU", "Software\\Bo\u0101t \u0141\u00F3d\u017A"), File("out.reg")})
            .status,
        0);
    EXPECT_EQ(ReadFile(File("out.reg")), file) << "the same bytes back";
    const Outcome query =
        Reg({"query", Key("HKCU", "Software\\bo\u0100t \u0142\u00F3d\u017A"), "/v", "NOM"});
    EXPECT_NE(query.output.find("nom    REG_SZ    Caf\u00E9 \u0151 \u03A9"), std::string::npos)
        << query.output;

#ifndef _WIN32  // Windows gives look-alikes there ("Boat Lodz"), the store '?' as for others
    EXPECT_EQ(Dump(HKEY_CURRENT_USER,
                   "Software\\Bo?t ?\xF3"
                   "d?"),
              "<none>")
        << "'?' is no name of the key";
    HKEY software = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    char name[64] = {};
    ASSERT_EQ(RegEnumKeyA(software, 0, name, sizeof name), ERROR_SUCCESS);
    RegCloseKey(software);
    EXPECT_EQ(std::string(name),
              "Bo?t ?\xF3"
              "d?")
        << "the code page's view of the name";
#endif

    const Outcome regedit4 =
        Reg({"export", Key("HKCU", "Software"), File("four.reg"), "--regedit4"});
    EXPECT_EQ(regedit4.status, 1);
    EXPECT_NE(regedit4.output.find("REGEDIT4"), std::string::npos) << regedit4.output;
    EXPECT_FALSE(std::filesystem::exists(File("four.reg"))) << "nothing written";
}

// A character the store cannot keep is refused with its line, and nothing of the file is
// applied, not even the sections before it.
TEST_F(RegTool, ImportRefusesACharacterThatCannotBeKept) {
    const std::string user = Key("HKEY_CURRENT_USER");
    std::string file = "\xFF\xFE";
    for (const char c : "Windows Registry Editor Version 5.00\r\n\r\n[" + user +
                            "\\Before]\r\n\"a\"=\"1\"\r\n\r\n[" + user + "\\Shop") {
        file.push_back(c);
        file.push_back('\0');
    }
    file += std::string("\x00\xD8]\0\r\0\n\0", 8);  // a lone surrogate ends the key name
    WriteFile(File("bad.reg"), file);
    const Outcome run = Reg({"import", File("bad.reg")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("line 6: a character that cannot be kept"), std::string::npos)
        << run.output;
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Before"), "<none>");
}

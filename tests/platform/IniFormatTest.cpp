#include "platform/IniFormat.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ini = platform::ini;

struct ReadCase {
    const char* name;
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

TEST(IniFormat, ReadsValuesAsUsersKnowThem) {
    const ReadCase cases[] = {
        {"plain", "[s]\nk=v\n", "s", "k", "v"},
        {"case of names ignored", "[Ecran]\nPort=1\n", "ECRAN", "port", "1"},
        {"blanks around names ignored", "[ s ]\n k =v\n", "s", " k", "v"},
        {"blanks around value dropped", "[s]\nk=  v w \t\n", "s", "k", "v w"},
        {"quote pair removed", "[s]\nk=\" v \"\n", "s", "k", " v "},
        {"single quote pair removed", "[s]\nk='v'\n", "s", "k", "v"},
        {"unmatched quotes kept", "[s]\nk=\"v'\n", "s", "k", "\"v'"},
        {"empty quotes read empty", "[s]\nk=\"\"\n", "s", "k", ""},
        {"no comment after a value", "[s]\nk=v ; x\n", "s", "k", "v ; x"},
        {"comment line is no key", "[s]\n;k=v\n", "s", "k", std::nullopt},
        {"line without equals is no key", "[s]\nk\n", "s", "k", std::nullopt},
        {"first of two keys wins", "[s]\nk=1\nk=2\n", "s", "k", "1"},
        {"first of two sections wins", "[s]\na=1\n[s]\nk=2\n", "s", "k", std::nullopt},
        {"last bracket ends the name", "[a]b]\nk=v\n", "a]b", "k", "v"},
        {"bracket without close is no header", "[s]\n[t\nk=v\n", "s", "k", "v"},
        {"CRLF line ends", "[s]\r\nk=v\r\n", "s", "k", "v"},
        {"no final newline", "[s]\nk=v", "s", "k", "v"},
        {"equals inside the value", "[s]\nk=a=b\n", "s", "k", "a=b"},
        {"key of another section", "[s]\nk=v\n[t]\n", "t", "k", std::nullopt},
        {"missing section", "[s]\nk=v\n", "x", "k", std::nullopt},
        {"keys before any header", "k=v\n[s]\n", "", "k", "v"},
        {"accented names fold", "[\xC9t\xE9]\nk=v\n", "\xE9T\xC9", "k", "v"},
        {"NUL bytes are only bytes", std::string("[s]\nk=a\0b\n", 11), "s", "k",
         std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        const auto got = ini::ReadValue(c.text, c.section, c.key);
        EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, c.expected) << c.name;
    }
}

struct WriteCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::optional<std::string> after;  // nullopt: no rewrite needed
};

TEST(IniFormat, EditsOneKeyAndKeepsEveryOtherByte) {
    const WriteCase cases[] = {
        {"new file", "", "s", "k", "v", "[s]\nk=v\n"},
        {"new section at the end", "; c\n[a]\nx=1\n", "s", "k", "v", "; c\n[a]\nx=1\n[s]\nk=v\n"},
        {"new key after the last key line", "[s]\na=1\n\n; c\n[t]\n", "s", "k", "v",
         "[s]\na=1\nk=v\n\n; c\n[t]\n"},
        {"new key in an empty section", "[s]\n[t]\n", "s", "k", "v", "[s]\nk=v\n[t]\n"},
        {"replace keeps spelling and spacing", "[S]\n  Key = old ; x\n", "s", "key", "new",
         "[S]\n  Key = new\n"},
        {"replace the first of two", "[s]\nk=1\nk=2\n", "s", "k", "3", "[s]\nk=3\nk=2\n"},
        {"same value asks for no rewrite", "[s]\nk=v\n", "s", "k", "v", std::nullopt},
        {"empty value stays a key", "[s]\nk=v\n", "s", "k", "", "[s]\nk=\n"},
        {"CRLF file keeps CRLF", "[a]\r\nx=1\r\n", "s", "k", "v", "[a]\r\nx=1\r\n[s]\r\nk=v\r\n"},
        {"no final newline", "[s]\na=1", "s", "k", "v", "[s]\na=1\nk=v\n"},
        {"new section after a file without final newline", "[a]\nx=1", "s", "k", "v",
         "[a]\nx=1\n[s]\nk=v\n"},
        {"names written without blanks", "", " s ", " 0 couleur", "0", "[s]\n0 couleur=0\n"},
        {"blank-padded key finds the plain one", "[boutons]\n0 couleur=3\n", "boutons",
         " 0 couleur", "4", "[boutons]\n0 couleur=4\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini::WithValue(c.before, c.section, c.key, c.value), c.after) << c.name;
    }
}

TEST(IniFormat, DeletesAKeyOrASection) {
    EXPECT_EQ(ini::WithoutKey("[s]\na=1\nk=2\n", "s", "K"), "[s]\na=1\n");
    EXPECT_EQ(ini::WithoutKey("[s]\na=1\n", "s", "k"), std::nullopt);
    EXPECT_EQ(ini::WithoutSection("[s]\na=1\n[t]\nb=2\n", "s"), "[t]\nb=2\n");
    EXPECT_EQ(ini::WithoutSection("[t]\n", "s"), std::nullopt);
}

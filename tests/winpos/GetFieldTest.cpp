#include "winpos/GetField.h"

#include <gtest/gtest.h>

struct Case {
    const char* text;
    const char* separator;
    int16_t n;
    const char* field;
};

TEST(GetField, ReturnsFieldNOrEmpty) {
    const Case cases[] = {
        {" 1200| 900| 4800| 3600", "|", 1, " 1200"},  // the blank stays part of the field
        {" 1200| 900| 4800| 3600", "|", 4, " 3600"},  // last field needs no separator
        {" 1200| 900| 4800| 3600", "|", 5, ""},       // beyond the last field
        {" 1200| 900| 4800| 3600", "|", 9, ""},
        {"a||c", "|", 2, ""},  // empty field
        {"a||c", "|", 3, "c"},
        {"a|b|", "|", 3, ""},
        {"a|b", "|", 2, "b"},
        {"a|b", "|", 0, ""},
        {"a|b", "|", -3, ""},
        {"", "|", 1, ""},
        {"abc", "|", 1, "abc"},
        {"abc", "|", 2, ""},
        {"|a", "|", 1, ""},
        {"x<>y<>z", "<>", 2, "y"},  // separator longer than one character
        {"x<>y<>z", "<>", 3, "z"},
        {"aXbxc", "x", 1, "aXb"},  // exact comparison, case counts
        {"été|ça", "|", 2, "ça"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetField(c.text, c.separator, c.n), c.field)
            << '"' << c.text << "\" field " << c.n;
    }
}

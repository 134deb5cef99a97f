// The options whose value may be left out (options/OptionDefault.h): a bare one is given its
// default value before the command line is parsed.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "lcd/LcdprocLink.h"
#include "options/OptionDefault.h"

TEST(DisplayOptions, ABareOptionTakesItsDefaultValue) {
    struct Case {
        QStringList arguments;
        QStringList expected;
    };
    const QString program = QStringLiteral("afficheur-display");
    const QString bare = QStringLiteral("--lcdproc");
    const QString given = QStringLiteral("--lcdproc=127.0.0.1:13666");
    const Case cases[] = {
        {{program, bare}, {program, given}},
        {{program, bare, QStringLiteral("--headless")},
         {program, given, QStringLiteral("--headless")}},
        {{program, bare, QStringLiteral("lcd:1")}, {program, bare, QStringLiteral("lcd:1")}},
        {{program, QStringLiteral("--lcdproc=lcd:1")},
         {program, QStringLiteral("--lcdproc=lcd:1")}},
        {{program, QStringLiteral("--log")}, {program, QStringLiteral("--log")}},
        // The program's own name is never taken for the option.
        {{bare, bare}, {bare, given}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(display::WithOptionDefault(c.arguments, bare,
                                             QString::fromLatin1(display::kDefaultLcdproc)),
                  c.expected)
            << c.arguments.join(QLatin1Char(' ')).toStdString();
    }
}

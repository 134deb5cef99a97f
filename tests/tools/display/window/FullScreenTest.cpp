// The full-screen window on the customer's monitor (window/FullScreen.h), on the offscreen
// platform: the monitor it covers, and what it does when monitors come and go.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "window/FullScreen.h"

// The offscreen platform has one monitor, the primary; its going and coming are announced by
// hand here.
TEST(DisplayFullScreen, CoversTheChosenMonitorHidesWhileItIsAwayAndNeverTakesThePrimary) {
    QScreen* only = QGuiApplication::primaryScreen();
    ASSERT_NE(only, nullptr);

    // No choice and one monitor: it is the cashier's, and the window waits hidden.
    const display::ScreenChoice none = display::ChooseScreen(QString());
    EXPECT_FALSE(none.named);
    EXPECT_TRUE(none.note.contains("--screen 1")) << none.note.toStdString();
    {
        QWidget window;
        display::ShowFullScreen(window, none);
        EXPECT_FALSE(window.isVisible());
        emit qGuiApp->screenAdded(only);  // still only the primary: still hidden
        EXPECT_FALSE(window.isVisible());
    }

    // A number becomes the monitor's name; the window covers it, hides while it is unplugged
    // and covers it again when it is back.
    const display::ScreenChoice first = display::ChooseScreen(QStringLiteral("1"));
    EXPECT_TRUE(first.named);
    EXPECT_EQ(first.name, only->name());
    EXPECT_TRUE(first.note.isEmpty());
    QWidget window;
    display::ShowFullScreen(window, first);
    ASSERT_TRUE(window.isFullScreen());
    EXPECT_EQ(window.geometry(), only->geometry());
    emit qGuiApp->screenRemoved(only);
    EXPECT_FALSE(window.isVisible());
    emit qGuiApp->screenAdded(only);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_EQ(window.screen(), only);

    // A monitor that is not there: noted, and the window waits hidden for it.
    for (const char* absent : {"HDMI-9", "7"}) {
        const display::ScreenChoice missing = display::ChooseScreen(QString::fromLatin1(absent));
        EXPECT_TRUE(missing.note.contains("names no monitor")) << absent;
        QWidget waiting;
        display::ShowFullScreen(waiting, missing);
        EXPECT_FALSE(waiting.isVisible()) << absent;
    }
}

#include "FullScreen.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>

#include <algorithm>

#include "common/Log.h"

namespace display {

namespace {

QString MonitorList() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QStringList known;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRect g = screens[i]->geometry();
        known << QStringLiteral("%1 %2 (%3x%4+%5+%6%7)")
                     .arg(i + 1)
                     .arg(screens[i]->name())
                     .arg(g.width())
                     .arg(g.height())
                     .arg(g.x())
                     .arg(g.y())
                     .arg(screens[i] == QGuiApplication::primaryScreen()
                              ? QStringLiteral(", primary")
                              : QString());
    }
    return known.isEmpty() ? QStringLiteral("none") : known.join(QStringLiteral(", "));
}

// Keeps one window covering one monitor, found by its name; hides it while that monitor is
// away. A child of the window: its connections end with it.
class Follower : public QObject {
  public:
    Follower(QWidget& window, ScreenChoice choice)
        : QObject(&window), window_(window), choice_(std::move(choice)) {
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) {
            if (gone != screen_) return;
            LogLine(QStringLiteral("--fullscreen: monitor %1 is gone; the window waits hidden "
                                   "until it is back")
                        .arg(choice_.name)
                        .toStdString());
            Follow(nullptr);
        });
        connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen*) {
            if (!screen_) Follow(Find());
        });
    }

    // Covers screen from now on, or hides the window while screen is null.
    void Follow(QScreen* screen) {
        disconnect(geometry_);
        screen_ = screen;
        if (!screen) {
            window_.hide();
            return;
        }
        choice_.name = screen->name();  // kept from now on, whatever the order of monitors
        choice_.named = true;
        geometry_ = connect(screen, &QScreen::geometryChanged, this, [this] { Cover(); });
        Cover();
    }

    // The chosen monitor, if it is there now.
    QScreen* Find() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (choice_.named) {
            for (QScreen* screen : screens) {
                if (screen->name() == choice_.name) return screen;
            }
            return nullptr;
        }
        if (choice_.number > 0) {
            return choice_.number <= screens.size() ? screens[choice_.number - 1] : nullptr;
        }
        for (QScreen* screen : screens) {  // the first that is not the cashier's
            if (screen != QGuiApplication::primaryScreen()) return screen;
        }
        return nullptr;
    }

  private:
    // Not showFullScreen(), which also activates the window: the till keeps the keyboard.
    void Cover() {
        window_.setScreen(screen_);
        window_.setGeometry(screen_->geometry());
        window_.setWindowState(
            (window_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) |
            Qt::WindowFullScreen);
        window_.show();
    }

    QWidget& window_;
    ScreenChoice choice_;
    QPointer<QScreen> screen_;  // null once the monitor is gone, never left dangling
    QMetaObject::Connection geometry_;
};

}  // namespace

ScreenChoice ChooseScreen(const QString& choice) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    ScreenChoice chosen;
    if (choice.isEmpty()) {
        for (QScreen* screen : screens) {
            if (screen != QGuiApplication::primaryScreen()) {
                chosen.named = true;
                chosen.name = screen->name();
                return chosen;
            }
        }
        chosen.note =
            QStringLiteral(
                "--fullscreen: only one monitor, taken to be the cashier's; the window waits "
                "hidden "
                "for a second one. A machine whose only monitor faces the customer says --screen 1 "
                "(monitors: %1)")
                .arg(MonitorList());
        return chosen;
    }
    // A number in ASCII digits; anything else (other scripts' digits too) is a name.
    const bool isNumber =
        choice.size() <= 4 && std::all_of(choice.begin(), choice.end(), [](QChar c) {
            return c.unicode() >= u'0' && c.unicode() <= u'9';
        });
    const int number = isNumber ? choice.toInt() : 0;
    if (isNumber) {
        if (number >= 1 && number <= screens.size()) {
            chosen.named = true;
            chosen.name = screens[number - 1]->name();
            return chosen;
        }
        chosen.number = number >= 1 ? number : 0;
        chosen.note = QStringLiteral(
                          "--screen %1 names no monitor; the window waits hidden for "
                          "it. Monitors: %2")
                          .arg(choice, MonitorList());
        if (chosen.number == 0) {  // never found: the window stays hidden
            chosen.named = true;
            chosen.name = choice;
        }
        return chosen;
    }
    chosen.named = true;
    chosen.name = choice;
    for (QScreen* screen : screens) {
        if (screen->name() == choice) return chosen;
    }
    chosen.note = QStringLiteral(
                      "--screen %1 names no monitor; the window waits hidden for it. "
                      "Monitors: %2")
                      .arg(choice, MonitorList());
    return chosen;
}

void ShowFullScreen(QWidget& window, ScreenChoice choice) {
    window.setCursor(Qt::BlankCursor);
    auto* follower = new Follower(window, std::move(choice));  // owned by the window
    follower->Follow(follower->Find());
}

}  // namespace display

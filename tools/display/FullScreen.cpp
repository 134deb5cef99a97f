#include "FullScreen.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>

#include "common/Log.h"

namespace display {

namespace {

// Keeps one window covering one monitor, and moves it on when that monitor goes. A child of
// the window: its connections, one of each kind whatever the monitors do, end with it.
class Follower : public QObject {
  public:
    explicit Follower(QWidget& window) : QObject(&window), window_(window) {
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) {
            if (gone == screen_) Follow(AnotherScreen(gone));
        });
        connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* added) {
            if (!screen_) Follow(added);  // a monitor again, after none
        });
    }

    // Covers screen from now on, or shows the window in its frame while screen is null.
    void Follow(QScreen* screen) {
        disconnect(geometry_);
        screen_ = screen;
        if (!screen) {
            if (!alone_) {
                LogLine("--fullscreen: no monitor to cover; the window waits in its frame");
                alone_ = true;
            }
            window_.showNormal();
            return;
        }
        alone_ = false;
        geometry_ = connect(screen, &QScreen::geometryChanged, this, [this] { Cover(); });
        Cover();
    }

  private:
    void Cover() {
        window_.setScreen(screen_);
        window_.setGeometry(screen_->geometry());
        window_.showFullScreen();
    }

    // The primary, or any monitor left, but not the one going away; null when none is left.
    static QScreen* AnotherScreen(QScreen* gone) {
        QScreen* primary = QGuiApplication::primaryScreen();
        if (primary && primary != gone) return primary;
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen != gone) return screen;
        }
        return nullptr;
    }

    QWidget& window_;
    QPointer<QScreen> screen_;  // null once the monitor is gone, never left dangling
    QMetaObject::Connection geometry_;
    bool alone_ = false;  // "no monitor" was logged and no monitor came since
};

}  // namespace

QScreen* ChooseScreen(const QString& choice, QString* note) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (choice.isEmpty()) return primary;
    bool isNumber = false;
    const int number = choice.toInt(&isNumber);
    if (isNumber && number >= 1 && number <= screens.size()) return screens[number - 1];
    for (QScreen* screen : screens) {
        if (!isNumber && screen->name() == choice) return screen;
    }
    if (note) {
        QStringList known;
        for (qsizetype i = 0; i < screens.size(); ++i) {
            const QRect g = screens[i]->geometry();
            known << QStringLiteral("%1 %2 (%3x%4+%5+%6)")
                         .arg(i + 1)
                         .arg(screens[i]->name())
                         .arg(g.width())
                         .arg(g.height())
                         .arg(g.x())
                         .arg(g.y());
        }
        *note = QStringLiteral("--screen %1 names no monitor; using the primary. Monitors: %2")
                    .arg(choice, known.join(QStringLiteral(", ")));
    }
    return primary;
}

void ShowFullScreen(QWidget& window, QScreen* screen) {
    window.setCursor(Qt::BlankCursor);
    auto* follower = new Follower(window);  // owned by the window
    follower->Follow(screen);
}

}  // namespace display

#include "FullScreen.h"

#include <QGuiApplication>
#include <QStringList>

namespace display {

namespace {

void Cover(QWidget& window, QScreen* screen) {
    window.setScreen(screen);
    window.setGeometry(screen->geometry());
    window.showFullScreen();
}

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
    Cover(window, screen);
    QObject::connect(screen, &QScreen::geometryChanged, &window,
                     [&window, screen] { Cover(window, screen); });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &window,
                     [&window, screen](QScreen* gone) {
                         if (gone != screen) return;
                         if (QScreen* primary = QGuiApplication::primaryScreen()) {
                             ShowFullScreen(window, primary);  // and follow that one
                         }
                     });
}

}  // namespace display

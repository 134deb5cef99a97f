#pragma once
// The display's window on a monitor turned to the customer: full-screen, without a mouse
// cursor, on the monitor the user names, and still covering it when that monitor changes
// resolution. Qt code for the GUI thread.

#include <QScreen>
#include <QString>
#include <QWidget>

namespace display {

// The monitor that choice names: a number counts from 1 in the order Qt lists the monitors
// (the primary first), anything else is a monitor's name as the system gives it ("HDMI-1").
// An empty choice names the primary. A choice that names no monitor gives the primary and
// puts in *note which monitors there are. Null when there is no monitor at all.
QScreen* ChooseScreen(const QString& choice, QString* note);

// Shows window full-screen on screen, with no cursor over it, and keeps it covering that
// screen: when the screen's geometry changes the window follows; when the screen goes away it
// moves to the primary (or another monitor left). With no monitor (screen null, or the last
// one gone) it logs one line and shows the window in its frame until a monitor comes. Call it
// once per window; the connections it makes end with the window.
void ShowFullScreen(QWidget& window, QScreen* screen);

}  // namespace display

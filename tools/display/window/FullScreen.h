#pragma once
// The display's window on a monitor turned to the customer: full-screen, without a mouse
// cursor, on the customer's monitor, never on the cashier's by itself. The monitor is chosen
// once, at start, and kept by its name: when it changes resolution the window follows; when it
// goes away the window hides, and comes back when that monitor returns. Qt code for the GUI
// thread.

#include <QScreen>
#include <QString>
#include <QWidget>

namespace display {

// Which monitor the window covers.
struct ScreenChoice {
    bool named = false;  // the monitor is known by name; otherwise one is still to be found
    QString name;        // that name as the system gives it ("HDMI-1")
    int number = 0;      // --screen N that named no monitor at start: the Nth, once there is one
    QString note;        // one line for the log about the choice, when there is something to say
};

// The monitor choice names: a number counts from 1 in the order Qt lists the monitors (the
// primary first) and is turned into that monitor's name now; anything else is a name. With
// no choice: the first monitor that is not the primary, and with one monitor only, none yet
// (the window waits for a second one: the only monitor is taken to be the cashier's).
ScreenChoice ChooseScreen(const QString& choice);

// Shows window full-screen on the chosen monitor, with no cursor over it, and keeps it there
// (see above); until the monitor is there the window is hidden. Call it once per window; the
// connections it makes end with the window.
void ShowFullScreen(QWidget& window, ScreenChoice choice);

}  // namespace display

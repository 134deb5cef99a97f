#pragma once
// Runs the event loop until a condition holds or a time limit passes, whichever comes first.

#include <QCoreApplication>
#include <QElapsedTimer>

template <typename Condition>
bool WaitUntil(Condition done, int limitMilliseconds = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMilliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs the event loop for a while, for checks that something does not happen.
inline void RunEventsFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

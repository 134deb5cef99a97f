#pragma once
// The window's picture as the customer sees it, for the window's tests: painted once the image
// of its text, drawn on the text's own thread, is in it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include "window/BoardWindow.h"

// Paints the window into frame until the image of its text is in it (at most 10 s).
inline void RenderDrawn(display::BoardWindow& screen, QImage& frame) {
    QElapsedTimer waited;
    waited.start();
    screen.render(&frame);
    while (!screen.TextDrawn() && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        screen.render(&frame);
    }
    ASSERT_TRUE(screen.TextDrawn());
}

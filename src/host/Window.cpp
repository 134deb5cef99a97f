#include "host/Window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#if !defined(_WIN32)
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace host {
namespace {

#if !defined(_WIN32)
// One atom of the X server, 0 when it cannot be had.
xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Asks the window manager to add the window to, or remove it from, the stay-on-top band
// (EWMH _NET_WM_STATE client message to the root window). Nothing happens off X11.
void RequestAbove(const QWidget& window, bool above) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t aboveAtom = Atom(connection, "_NET_WM_STATE_ABOVE");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (state == XCB_ATOM_NONE || aboveAtom == XCB_ATOM_NONE || screen == nullptr) return;

    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window.winId());
    event.type = state;
    event.data.data32[0] = above ? 1 : 0;  // _NET_WM_STATE_ADD or _NET_WM_STATE_REMOVE
    event.data.data32[1] = aboveAtom;
    event.data.data32[2] = 0;
    event.data.data32[3] = 1;  // the request comes from an ordinary application
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}
#else
void RequestAbove(const QWidget&, bool) {}
#endif

// Puts the stay-on-top hint into the widget's flags and its native window's flags without
// recreating (and so hiding) the window, which QWidget::setWindowFlags would do.
void SetStaysOnTopHint(QWidget& window, bool above) {
    Qt::WindowFlags flags = window.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, above);
    window.overrideWindowFlags(flags);
    if (QWindow* native = window.windowHandle()) {
        Qt::WindowFlags nativeFlags = native->flags();
        nativeFlags.setFlag(Qt::WindowStaysOnTopHint, above);
        native->setFlags(nativeFlags);
    }
}

// Shows the window; unless `activate`, the window manager is asked not to give it the focus
// (on X11, a user time of 0). Qt copies the widget attribute to the native window only when
// it creates it, and reads the native window's property at every show, so a window created
// earlier is told through both for the time of the call.
void Show(QWidget& window, bool activate) {
    static const char* const kWithoutActivating = "_q_showWithoutActivating";
    const bool attribute = window.testAttribute(Qt::WA_ShowWithoutActivating);
    QWindow* native = window.windowHandle();
    const QVariant property = native != nullptr ? native->property(kWithoutActivating) : QVariant();
    if (!activate) {
        window.setAttribute(Qt::WA_ShowWithoutActivating, true);
        if (native != nullptr) native->setProperty(kWithoutActivating, true);
    }
    window.show();
    window.setAttribute(Qt::WA_ShowWithoutActivating, attribute);
    if (native != nullptr) native->setProperty(kWithoutActivating, property);
}

// The program's top-level window whose handle is hWnd, or null.
QWidget* TopLevelWindow(uint32_t hWnd) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (WindowHandle(*window) == hWnd) return window;
    }
    return nullptr;
}

}  // namespace

uint32_t WindowHandle(const QWidget& window) {
    if (!window.testAttribute(Qt::WA_WState_Created)) return 0;
    return static_cast<uint32_t>(window.winId());
}

int32_t SetWindowPos(uint32_t hWnd, int32_t hWndInsertAfter, int32_t X, int32_t Y, int32_t cx,
                     int32_t cy, uint32_t uFlags) {
    QWidget* window = hWnd == 0 ? nullptr : TopLevelWindow(hWnd);
    if (window == nullptr) return 0;

    const bool band = !(uFlags & SWP_NOZORDER) &&
                      (hWndInsertAfter == HWND_TOPMOST || hWndInsertAfter == HWND_NOTOPMOST);
    const bool above = hWndInsertAfter == HWND_TOPMOST;
    // Qt writes the hint into a window's state before mapping it.
    if (band) SetStaysOnTopHint(*window, above);
    if (!(uFlags & SWP_NOMOVE)) window->move(X, Y);
    if (!(uFlags & SWP_NOSIZE)) {
        const QRect frame = window->frameGeometry();
        window->resize(std::max(0, cx - (frame.width() - window->width())),
                       std::max(0, cy - (frame.height() - window->height())));
    }
    if (uFlags & SWP_SHOWWINDOW) {
        Show(*window, !(uFlags & SWP_NOACTIVATE));
    } else if (uFlags & SWP_HIDEWINDOW) {
        window->hide();
    }
    // A window the window manager already manages is told directly.
    if (band && window->isVisible()) RequestAbove(*window, above);
    if (!(uFlags & SWP_NOACTIVATE) && window->isVisible()) window->activateWindow();
    return 1;
}

}  // namespace host

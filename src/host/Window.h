#pragma once
// SetWindowPos, the window service the client relies on for the always-on-top band.
//
// hWnd is the handle of one of this program's top-level windows, as WindowHandle gives it (and
// QtForm::hWnd with it); SetWindowPos finds the window among the program's top-level windows
// by that same rule, and never turns the number back into a native window.
// With hWndInsertAfter HWND_TOPMOST (-1) the window joins the band of windows kept above all
// ordinary ones; with HWND_NOTOPMOST (-2) it leaves it. On X11 that is the window manager's
// _NET_WM_STATE_ABOVE, requested with a client message to the root window and kept in the
// window's Qt::WindowStaysOnTopHint so that Qt and the window manager agree; on any other Qt
// platform (offscreen, for instance) only the Qt hint is set. X, Y (outer position) and cx,
// cy (outer size) are logical pixels. User-interface thread only.

#include <QWidget>
#include <cstdint>

namespace host {

inline constexpr int32_t HWND_TOPMOST = -1;
inline constexpr int32_t HWND_NOTOPMOST = -2;

inline constexpr uint32_t SWP_NOSIZE = 0x0001;
inline constexpr uint32_t SWP_NOMOVE = 0x0002;
inline constexpr uint32_t SWP_NOZORDER = 0x0004;
inline constexpr uint32_t SWP_NOACTIVATE = 0x0010;
inline constexpr uint32_t SWP_SHOWWINDOW = 0x0040;
inline constexpr uint32_t SWP_HIDEWINDOW = 0x0080;

// A top-level window's handle: its native window id, 0 while it has no native window (asking
// never creates one).
uint32_t WindowHandle(const QWidget& window);

// Applies, in this order: the band (unless SWP_NOZORDER; insert-after values other than -1
// and -2 leave the band as it is), the move (unless SWP_NOMOVE), the size (unless
// SWP_NOSIZE), then SWP_SHOWWINDOW (shown, and not activated with SWP_NOACTIVATE) or
// SWP_HIDEWINDOW; without SWP_NOACTIVATE the window is also activated. Other flags are
// ignored. Returns 1 on success, 0 when hWnd is not a window of this program (nothing
// changes then). Never throws.
int32_t SetWindowPos(uint32_t hWnd, int32_t hWndInsertAfter, int32_t X, int32_t Y, int32_t cx,
                     int32_t cy, uint32_t uFlags);

}  // namespace host

#pragma once
// A form (top-level window) as the system's code sees it: outer bounds in twips, the window
// state code, visibility, name and handle. The Qt implementation adapts a QWidget; tests use
// a fake. Called on the user-interface thread only.

#include <cstdint>
#include <string>

namespace host {

// 15 twips per logical (device-independent) pixel.
inline constexpr float kTwipsPerPixel = 15.0f;

// Window state codes.
inline constexpr int16_t kStateNormal = 0;
inline constexpr int16_t kStateMinimized = 1;
inline constexpr int16_t kStateMaximized = 2;

// Error numbers the framework raises, with the texts users of the original framework know.
inline constexpr int32_t kErrInvalidPropertyValue = 380;  // "Invalid property value"
inline constexpr int32_t kErrCantMoveMinMax = 384;
// "A form can't be moved or sized while minimized or maximized"
inline constexpr int32_t kErrNoSuchMethod =
    438;  // "Object doesn't support this property or method"

class Form {
  public:
    virtual ~Form() = default;

    // Outer bounds (frame and title bar included) in twips, in screen coordinates.
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;

    // Sets the outer height; the width stays. Raises a resize. Throws Error 384 while the
    // window is minimized or maximized.
    virtual void SetHeight(float twips) = 0;
    // Moves and sizes the window in one operation (outer bounds, twips). Throws Error 384
    // while the window is minimized or maximized.
    virtual void Move(float left, float top, float width, float height) = 0;

    // 0 normal, 1 minimized, 2 maximized.
    virtual int16_t WindowState() const = 0;
    // Throws Error 380 for any code other than 0, 1 and 2, and changes nothing then.
    virtual void SetWindowState(int16_t code) = 0;

    virtual bool Visible() const = 0;
    virtual std::string Name() const = 0;
    // The native window handle (the X11 window id on Linux), 0 before the window exists.
    virtual uint32_t hWnd() const = 0;
};

}  // namespace host

#include "client/KeepOnTop.h"

#include "host/Window.h"

namespace client {

void KeepOnTop(int32_t hWnd, bool OnTop) {
    const int32_t insertAfter = ChooseValue(OnTop, host::HWND_TOPMOST, host::HWND_NOTOPMOST);
    constexpr uint32_t kFlags =
        host::SWP_NOSIZE | host::SWP_NOMOVE | host::SWP_NOACTIVATE | host::SWP_SHOWWINDOW;  // 0x53
    host::SetWindowPos(static_cast<uint32_t>(hWnd), insertAfter, 0, 0, 0, 0, kFlags);
}

}  // namespace client

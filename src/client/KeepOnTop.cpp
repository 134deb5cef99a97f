#include "client/KeepOnTop.h"

#include "platform/Window.h"

namespace client {

void KeepOnTop(int32_t hWnd, bool OnTop) {
    const int32_t insertAfter =
        ChooseValue(OnTop, platform::HWND_TOPMOST, platform::HWND_NOTOPMOST);
    constexpr uint32_t kFlags = platform::SWP_NOSIZE | platform::SWP_NOMOVE |
                                platform::SWP_NOACTIVATE | platform::SWP_SHOWWINDOW;  // 0x53
    platform::SetWindowPos(static_cast<uint32_t>(hWnd), insertAfter, 0, 0, 0, 0, kFlags);
}

}  // namespace client

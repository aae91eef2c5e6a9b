// How the scripted fakes report to a window: posted to its loop, as the real libraries do from
// their threads, or sent, for tests without a loop.
#pragma once

#include "platform/window_message.h"

namespace engines {

inline void DeliverToWindow(bool send, platform::HWND window, unsigned message,
                            platform::WPARAM wParam, platform::LPARAM lParam) {
    if (send)
        platform::SendMessage(window, message, wParam, lParam);
    else
        platform::PostMessage(window, message, wParam, lParam);
}

} // namespace engines

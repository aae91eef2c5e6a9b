// Window messages as the image builder and the burner see them: an opaque window handle, a
// synchronous send and messages registered by name. This is the Qt-free layer; a Qt-backed
// window implements MessageTarget in the burner.
#pragma once

#include <cstdint>

namespace platform {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Whatever receives messages. A handle is only ever passed around and handed back to SendMessage.
class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    virtual LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) = 0;
};

using HWND = MessageTarget*;

// Delivers the message and returns the receiver's result; data behind lParam need only live
// for the length of the call. A null window gives 0.
LRESULT SendMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);

// Numbers from 0xC000 up, one per distinct name (names compare without regard to case), stable
// for the life of the process. An empty or null name gives 0.
unsigned RegisterWindowMessage(const char* name);

// The process's active window, which the host sets while one of its windows has the focus; null
// when there is none.
HWND GetActiveWindow();
void SetActiveWindow(HWND window);

} // namespace platform

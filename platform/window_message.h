// Window messages as the image builder and the burner see them: an opaque window handle, send,
// post, timers and messages registered by name. This is the Qt-free layer; a window that is bound
// to a message loop (platform/manual_message_loop.h for tests, platform/qt/qt_message_loop.h in
// the programs) gets queued delivery, cross-thread sends and timers on that loop's thread.
#pragma once

#include <cstdint>

namespace platform {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

// Sent for a timer that is due; wParam is the timer's id.
constexpr unsigned WM_TIMER = 0x0113;

class MessageLoop;

// Whatever receives messages. A handle is only ever passed around and handed back to SendMessage.
class MessageTarget {
  public:
    MessageTarget() = default;
    // A copy is a window of its own, bound to no loop.
    MessageTarget(const MessageTarget&) {}
    MessageTarget& operator=(const MessageTarget&) { return *this; }
    virtual ~MessageTarget();
    virtual LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) = 0;

    // Binds the window to the loop whose thread handles its messages (null unbinds). A window
    // that goes away drops its queued messages and timers.
    void AttachLoop(MessageLoop* loop);
    MessageLoop* Loop() const { return m_loop; }

  private:
    MessageLoop* m_loop = nullptr;
};

using HWND = MessageTarget*;

// The thread-bound dispatcher behind windows: it owns their queues and timers.
class MessageLoop {
  public:
    virtual ~MessageLoop() = default;
    virtual bool IsLoopThread() const = 0;
    virtual void Adopt(HWND window) = 0;
    virtual void Forget(HWND window) = 0;
    virtual bool Post(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) = 0;
    // Called from another thread; returns once the loop's thread has handled the message.
    virtual LRESULT SendAcross(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool SetTimer(HWND window, UINT_PTR id, unsigned milliseconds) = 0;
    virtual bool KillTimer(HWND window, UINT_PTR id) = 0;
};

// Delivers the message and returns the receiver's result; data behind lParam need only live
// for the length of the call. From another thread than the window's loop the call blocks until
// that thread has handled it. A null window gives 0.
LRESULT SendMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);

// Queues the message for the window's loop and returns at once; false for a null window or one
// bound to no loop.
bool PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);

// Starts or restarts timer id of the window: WM_TIMER with wParam id every period (at least
// 10 ms). Returns id, or 0 when the window has no loop or id is 0.
UINT_PTR SetTimer(HWND window, UINT_PTR id, unsigned milliseconds);
bool KillTimer(HWND window, UINT_PTR id);

// Numbers from 0xC000 up, one per distinct name (names compare without regard to case), stable
// for the life of the process. An empty or null name gives 0.
unsigned RegisterWindowMessage(const char* name);

// The process's active window, which the host sets while one of its windows has the focus; null
// when there is none.
HWND GetActiveWindow();
void SetActiveWindow(HWND window);

} // namespace platform

// A message loop that runs only when pumped by hand, with a clock that moves only when told:
// tests see exactly which messages and timers are delivered, in which order.
#pragma once

#include "platform/window_message.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace platform {

class ManualMessageLoop : public MessageLoop {
  public:
    // The constructing thread is the loop's thread.
    ManualMessageLoop();
    ~ManualMessageLoop() override;

    bool IsLoopThread() const override;
    void Adopt(HWND window) override;
    void Forget(HWND window) override;
    bool Post(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendAcross(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) override;
    bool SetTimer(HWND window, UINT_PTR id, unsigned milliseconds) override;
    bool KillTimer(HWND window, UINT_PTR id) override;

    // On the loop's thread: handles waiting sends, then posted messages, then due timers, until
    // none is left (also those queued meanwhile). Returns the number handled.
    int Pump();
    // Waits (real time) until a message from another thread is waiting, then pumps. Returns the
    // number handled, 0 on time-out.
    int PumpWait(std::chrono::milliseconds timeout);

    // Moves the fake clock; each timer that fell due is marked once (due timers do not pile up),
    // to be delivered by the next Pump.
    void Advance(std::uint64_t milliseconds);
    std::uint64_t Now() const;
    std::size_t Pending() const;

  private:
    struct Message {
        HWND window;
        unsigned message;
        WPARAM wParam;
        LPARAM lParam;
    };
    struct Send {
        Message msg;
        LRESULT result = 0;
        bool done = false;
    };
    struct Timer {
        unsigned period;
        std::uint64_t due;
        bool fired = false;
    };
    bool TakeOne(Message& msg, Send*& send);

    std::thread::id m_thread;
    mutable std::mutex m_lock;
    std::condition_variable m_arrived;
    std::condition_variable m_handled;
    std::set<HWND> m_windows;
    std::deque<Send*> m_sends;
    std::deque<Message> m_posted;
    std::map<std::pair<HWND, UINT_PTR>, Timer> m_timers;
    std::uint64_t m_now = 0;
};

} // namespace platform

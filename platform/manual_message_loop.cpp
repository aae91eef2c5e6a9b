#include "platform/manual_message_loop.h"

#include <vector>

namespace platform {

ManualMessageLoop::ManualMessageLoop() : m_thread(std::this_thread::get_id()) {}

ManualMessageLoop::~ManualMessageLoop() {
    std::vector<HWND> windows;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        windows.assign(m_windows.begin(), m_windows.end());
    }
    for (HWND w : windows)
        w->AttachLoop(nullptr);
    // Senders still waiting get 0 rather than blocking for ever.
    std::lock_guard<std::mutex> guard(m_lock);
    for (Send* s : m_sends)
        s->done = true;
    m_sends.clear();
    m_handled.notify_all();
}

bool ManualMessageLoop::IsLoopThread() const {
    return std::this_thread::get_id() == m_thread;
}

void ManualMessageLoop::Adopt(HWND window) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.insert(window);
}

void ManualMessageLoop::Forget(HWND window) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.erase(window);
    std::erase_if(m_posted, [&](const Message& m) { return m.window == window; });
    std::erase_if(m_timers, [&](const auto& t) { return t.first.first == window; });
    for (auto it = m_sends.begin(); it != m_sends.end();) {
        if ((*it)->msg.window == window) {
            (*it)->done = true;
            it = m_sends.erase(it);
        } else {
            ++it;
        }
    }
    m_handled.notify_all();
}

bool ManualMessageLoop::Post(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_windows.count(window)) return false;
    m_posted.push_back({window, message, wParam, lParam});
    m_arrived.notify_all();
    return true;
}

LRESULT ManualMessageLoop::SendAcross(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    Send send{{window, message, wParam, lParam}};
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_windows.count(window)) return 0;
    m_sends.push_back(&send);
    m_arrived.notify_all();
    m_handled.wait(guard, [&] { return send.done; });
    return send.result;
}

bool ManualMessageLoop::SetTimer(HWND window, UINT_PTR id, unsigned milliseconds) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_windows.count(window)) return false;
    m_timers[{window, id}] = Timer{milliseconds, m_now + milliseconds};
    return true;
}

bool ManualMessageLoop::KillTimer(HWND window, UINT_PTR id) {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_timers.erase({window, id}) != 0;
}

bool ManualMessageLoop::TakeOne(Message& msg, Send*& send) {
    send = nullptr;
    if (!m_sends.empty()) {
        send = m_sends.front();
        m_sends.pop_front();
        msg = send->msg;
        return true;
    }
    if (!m_posted.empty()) {
        msg = m_posted.front();
        m_posted.pop_front();
        return true;
    }
    for (auto& [key, timer] : m_timers) {
        if (timer.fired) {
            timer.fired = false;
            msg = {key.first, WM_TIMER, key.second, 0};
            return true;
        }
    }
    return false;
}

int ManualMessageLoop::Pump() {
    if (!IsLoopThread()) return 0;
    int handled = 0;
    for (;;) {
        Message msg{};
        Send* send = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!TakeOne(msg, send)) break;
        }
        LRESULT r = msg.window->OnMessage(msg.message, msg.wParam, msg.lParam);
        ++handled;
        if (send) {
            std::lock_guard<std::mutex> guard(m_lock);
            send->result = r;
            send->done = true;
            m_handled.notify_all();
        }
    }
    return handled;
}

int ManualMessageLoop::PumpWait(std::chrono::milliseconds timeout) {
    {
        std::unique_lock<std::mutex> guard(m_lock);
        if (!m_arrived.wait_for(guard, timeout,
                                [&] { return !m_sends.empty() || !m_posted.empty(); }))
            return 0;
    }
    return Pump();
}

void ManualMessageLoop::Advance(std::uint64_t milliseconds) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_now += milliseconds;
    for (auto& [key, timer] : m_timers) {
        if (timer.due > m_now) continue;
        timer.fired = true;
        std::uint64_t late = (m_now - timer.due) / timer.period + 1;
        timer.due += late * timer.period;
    }
}

std::uint64_t ManualMessageLoop::Now() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_now;
}

std::size_t ManualMessageLoop::Pending() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::size_t n = m_sends.size() + m_posted.size();
    for (const auto& t : m_timers)
        n += t.second.fired ? 1 : 0;
    return n;
}

} // namespace platform

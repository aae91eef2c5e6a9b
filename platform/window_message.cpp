#include "platform/window_message.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

MessageTarget::~MessageTarget() {
    if (m_loop) m_loop->Forget(this);
}

void MessageTarget::AttachLoop(MessageLoop* loop) {
    if (m_loop == loop) return;
    if (m_loop) m_loop->Forget(this);
    m_loop = loop;
    if (m_loop) m_loop->Adopt(this);
}

LRESULT SendMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (!window) return 0;
    MessageLoop* loop = window->Loop();
    if (loop && !loop->IsLoopThread()) return loop->SendAcross(window, message, wParam, lParam);
    return window->OnMessage(message, wParam, lParam);
}

bool PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (!window || !window->Loop()) return false;
    return window->Loop()->Post(window, message, wParam, lParam);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, unsigned milliseconds) {
    if (!window || !window->Loop() || id == 0) return 0;
    if (milliseconds < 10) milliseconds = 10;
    return window->Loop()->SetTimer(window, id, milliseconds) ? id : 0;
}

bool KillTimer(HWND window, UINT_PTR id) {
    if (!window || !window->Loop()) return false;
    return window->Loop()->KillTimer(window, id);
}

unsigned RegisterWindowMessage(const char* name) {
    if (!name || !*name) return 0;
    static std::mutex lock;
    static std::vector<std::string> names;
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::lock_guard<std::mutex> guard(lock);
    auto it = std::find(names.begin(), names.end(), key);
    if (it == names.end()) it = names.insert(names.end(), key);
    return 0xC000u + static_cast<unsigned>(it - names.begin());
}

namespace {
std::atomic<HWND> activeWindow{nullptr};
}

HWND GetActiveWindow() { return activeWindow.load(); }
void SetActiveWindow(HWND window) { activeWindow.store(window); }

} // namespace platform

#include "platform/window_message.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

LRESULT SendMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (!window) return 0;
    return window->OnMessage(message, wParam, lParam);
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

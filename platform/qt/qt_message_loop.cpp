#include "platform/qt/qt_message_loop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace platform {

namespace {

class MessageEvent : public QEvent {
  public:
    MessageEvent(HWND window, unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(QtMessageLoop::EventTypeOf(message)), window(window), message(message),
          wParam(wParam), lParam(lParam) {}
    HWND window;
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
};

} // namespace

QEvent::Type QtMessageLoop::EventTypeOf(unsigned message) {
    if (message >= QEvent::User && message <= QEvent::MaxUser)
        return static_cast<QEvent::Type>(message);
    static const QEvent::Type other = static_cast<QEvent::Type>(QEvent::registerEventType());
    return other;
}

QtMessageLoop::QtMessageLoop(QObject* parent) : QObject(parent) {}

QtMessageLoop::~QtMessageLoop() {
    std::set<HWND> windows;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        windows = m_windows;
    }
    for (HWND w : windows)
        w->AttachLoop(nullptr);
}

bool QtMessageLoop::IsLoopThread() const {
    return QThread::currentThread() == thread();
}

void QtMessageLoop::Adopt(HWND window) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.insert(window);
}

void QtMessageLoop::Forget(HWND window) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_windows.erase(window);
    }
    auto drop = [this, window] {
        for (auto it = m_timers.begin(); it != m_timers.end();) {
            if (it->first.first == window) {
                delete it->second;
                it = m_timers.erase(it);
            } else {
                ++it;
            }
        }
    };
    // From another thread the timers go later: they deliver nothing meanwhile, and waiting for
    // the loop's thread here could deadlock against it.
    if (IsLoopThread())
        drop();
    else
        QMetaObject::invokeMethod(this, drop, Qt::QueuedConnection);
}

LRESULT QtMessageLoop::Deliver(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    {
        // A window that went away while its message was on the way gets nothing.
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_windows.count(window)) return 0;
    }
    return window->OnMessage(message, wParam, lParam);
}

bool QtMessageLoop::Post(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_windows.count(window)) return false;
    }
    QCoreApplication::postEvent(this, new MessageEvent(window, message, wParam, lParam));
    return true;
}

LRESULT QtMessageLoop::SendAcross(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (IsLoopThread()) return Deliver(window, message, wParam, lParam);
    LRESULT result = 0;
    QMetaObject::invokeMethod(
        this, [&] { return Deliver(window, message, wParam, lParam); },
        Qt::BlockingQueuedConnection, &result);
    return result;
}

bool QtMessageLoop::event(QEvent* e) {
    if (auto* m = dynamic_cast<MessageEvent*>(e)) {
        Deliver(m->window, m->message, m->wParam, m->lParam);
        return true;
    }
    return QObject::event(e);
}

bool QtMessageLoop::StartTimer(HWND window, UINT_PTR id, unsigned milliseconds) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_windows.count(window)) return false;
    }
    QTimer*& timer = m_timers[{window, id}];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this,
                [this, window, id] { Deliver(window, WM_TIMER, id, 0); });
    }
    timer->start(static_cast<int>(milliseconds));
    return true;
}

bool QtMessageLoop::StopTimer(HWND window, UINT_PTR id) {
    auto it = m_timers.find({window, id});
    if (it == m_timers.end()) return false;
    delete it->second;
    m_timers.erase(it);
    return true;
}

bool QtMessageLoop::SetTimer(HWND window, UINT_PTR id, unsigned milliseconds) {
    if (IsLoopThread()) return StartTimer(window, id, milliseconds);
    // Queued, not waited for: a thread that the loop's thread waits for may set timers too.
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_windows.count(window)) return false;
    }
    QMetaObject::invokeMethod(
        this, [this, window, id, milliseconds] { StartTimer(window, id, milliseconds); },
        Qt::QueuedConnection);
    return true;
}

bool QtMessageLoop::KillTimer(HWND window, UINT_PTR id) {
    if (IsLoopThread()) return StopTimer(window, id);
    QMetaObject::invokeMethod(
        this, [this, window, id] { StopTimer(window, id); }, Qt::QueuedConnection);
    return true;
}

} // namespace platform

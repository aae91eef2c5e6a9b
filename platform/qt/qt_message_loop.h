// Window messages on a Qt thread: posted messages travel as QEvents whose type is the message
// number (all numbered and registered messages lie in Qt's user range), timers are QTimers, and
// a send from another thread blocks until this object's thread has handled it. Timers set or
// killed from another thread take effect once the loop's thread gets to them.
#pragma once

#include "platform/window_message.h"

#include <QEvent>
#include <QObject>

#include <map>
#include <mutex>
#include <set>
#include <utility>

class QTimer;

namespace platform {

class QtMessageLoop : public QObject, public MessageLoop {
  public:
    // Messages are handled on the thread this object belongs to (the creating thread, or the one
    // it is moved to).
    explicit QtMessageLoop(QObject* parent = nullptr);
    ~QtMessageLoop() override;

    bool IsLoopThread() const override;
    void Adopt(HWND window) override;
    void Forget(HWND window) override;
    bool Post(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendAcross(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) override;
    bool SetTimer(HWND window, UINT_PTR id, unsigned milliseconds) override;
    bool KillTimer(HWND window, UINT_PTR id) override;

    // The event type a message travels as: the number itself inside the user range, else one
    // type registered for all the others.
    static QEvent::Type EventTypeOf(unsigned message);

  protected:
    bool event(QEvent* e) override;

  private:
    LRESULT Deliver(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);
    bool StartTimer(HWND window, UINT_PTR id, unsigned milliseconds);
    bool StopTimer(HWND window, UINT_PTR id);

    mutable std::mutex m_lock;
    std::set<HWND> m_windows;
    std::map<std::pair<HWND, UINT_PTR>, QTimer*> m_timers; // touched on the loop's thread only
};

} // namespace platform

// One thread of the CD engine running posted tasks in order: burns and erases on one, scans on
// another, so the events of each come from one thread and a task may post the next.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace engines {

class CdWorker {
  public:
    CdWorker() = default;
    ~CdWorker(); // Stop()
    CdWorker(const CdWorker&) = delete;
    CdWorker& operator=(const CdWorker&) = delete;

    // False when the thread cannot be started or the worker is stopping.
    bool Post(std::function<void()> task);
    // Drops the tasks not begun, waits for the running one and ends the thread.
    void Stop();

  private:
    void Run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace engines

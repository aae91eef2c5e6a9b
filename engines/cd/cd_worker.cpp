#include "engines/cd/cd_worker.h"

#include <system_error>

namespace engines {

CdWorker::~CdWorker() {
    Stop();
}

bool CdWorker::Post(std::function<void()> task) {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) return false;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    tasks_.push_back(std::move(task));
    wake_.notify_one();
    return true;
}

void CdWorker::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        tasks_.clear();
        wake_.notify_one();
    }
    if (!thread_.joinable()) return;
    // Stopped from one of its own tasks: the task returns into a loop that ends at once.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void CdWorker::Run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

} // namespace engines

// Built only where Qt is installed.
#if __has_include(<QCoreApplication>)

#include "platform/qt/qt_message_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "qt_message_loop_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

class Window : public platform::MessageTarget {
  public:
    LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override {
        std::lock_guard<std::mutex> guard(lock);
        got.push_back(message);
        threads.push_back(QThread::currentThread());
        return static_cast<LRESULT>(wParam) + lParam;
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return got.size();
    }
    std::mutex lock;
    std::vector<unsigned> got;
    std::vector<QThread*> threads;
};

// Runs the event loop until done() or the time-out; false on time-out.
template <typename Done> bool RunUntil(Done done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class TypeSpy : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() >= QEvent::User) types.push_back(e->type());
        return false;
    }
    std::vector<int> types;
};

TEST(QtMessageLoop, PostedMessagesArriveAsUserEventsOfTheirNumber) {
    App();
    platform::QtMessageLoop loop;
    TypeSpy spy;
    loop.installEventFilter(&spy);
    Window w;
    w.AttachLoop(&loop);
    unsigned registered = platform::RegisterWindowMessage("msg_QuvoDiscBuilder");
    ASSERT_TRUE(platform::PostMessage(&w, 1825, 1, 0));
    ASSERT_TRUE(platform::PostMessage(&w, registered, 0, 0));
    ASSERT_TRUE(platform::PostMessage(&w, 500, 0, 0)); // below the user range
    EXPECT_EQ(w.Count(), 0u) << "posting only queues";
    ASSERT_TRUE(RunUntil([&] { return w.Count() == 3; }));
    EXPECT_EQ(w.got, (std::vector<unsigned>{1825, registered, 500}));
    ASSERT_EQ(spy.types.size(), 3u);
    EXPECT_EQ(spy.types[0], 1825);
    EXPECT_EQ(spy.types[1], static_cast<int>(registered));
    EXPECT_EQ(spy.types[2], platform::QtMessageLoop::EventTypeOf(500));
    EXPECT_NE(spy.types[2], 500);
}

TEST(QtMessageLoop, SendFromAWorkerBlocksAndReturnsTheResult) {
    App();
    platform::QtMessageLoop loop;
    Window w;
    w.AttachLoop(&loop);
    std::atomic<bool> returned{false};
    LRESULT result = 0;
    std::thread worker([&] {
        result = platform::SendMessage(&w, 1804, 40, 2);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned) << "the worker waits for the loop's thread";
    ASSERT_TRUE(RunUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(result, 42);
    ASSERT_EQ(w.threads.size(), 1u);
    EXPECT_EQ(w.threads[0], QThread::currentThread());
    // On the loop's own thread a send is handled at once.
    EXPECT_EQ(platform::SendMessage(&w, 1804, 1, 1), 2);
}

TEST(QtMessageLoop, TimersFireUntilKilled) {
    App();
    platform::QtMessageLoop loop;
    Window w;
    w.AttachLoop(&loop);
    ASSERT_EQ(platform::SetTimer(&w, 133, 10), 133u);
    ASSERT_TRUE(RunUntil([&] { return w.Count() >= 2; }));
    for (unsigned m : w.got)
        EXPECT_EQ(m, platform::WM_TIMER);
    EXPECT_TRUE(platform::KillTimer(&w, 133));
    std::size_t after = w.Count();
    RunUntil([] { return false; }, 60);
    EXPECT_EQ(w.Count(), after);

    // Set from another thread, the timer still runs on the loop's thread.
    // and the worker does not wait for the loop's thread to take it.
    std::thread([&] { platform::SetTimer(&w, 134, 10); }).join();
    ASSERT_TRUE(RunUntil([&] { return w.Count() > after; }));
    EXPECT_EQ(w.threads.back(), QThread::currentThread());
}

TEST(QtMessageLoop, AWindowThatGoesAwayGetsNothingMore) {
    App();
    platform::QtMessageLoop loop;
    Window kept;
    kept.AttachLoop(&loop);
    {
        Window gone;
        gone.AttachLoop(&loop);
        platform::PostMessage(&gone, 1825, 0, 0);
        platform::SetTimer(&gone, 135, 10);
    }
    platform::PostMessage(&kept, 1834, 0, 0);
    ASSERT_TRUE(RunUntil([&] { return kept.Count() == 1; }));
    RunUntil([] { return false; }, 50); // a use after free would show under the sanitizers
    EXPECT_EQ(kept.Count(), 1u);
}

} // namespace

#endif

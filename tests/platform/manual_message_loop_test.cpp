#include "platform/manual_message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;

struct Received {
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
    bool operator==(const Received& o) const {
        return message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

class Window : public platform::MessageTarget {
  public:
    LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override {
        got.push_back({message, wParam, lParam, std::this_thread::get_id()});
        if (message == 1804 && onMessage) onMessage();
        return static_cast<LRESULT>(wParam) * 10 + lParam;
    }
    std::vector<Received> got;
    std::function<void()> onMessage;
};

TEST(ManualMessageLoop, PostedMessagesWaitForThePumpInOrder) {
    platform::ManualMessageLoop loop;
    Window w;
    EXPECT_FALSE(platform::PostMessage(&w, 1825, 0, 0)) << "no loop, no queue";
    w.AttachLoop(&loop);
    EXPECT_TRUE(platform::PostMessage(&w, 1825, 1, 0));
    EXPECT_TRUE(platform::PostMessage(&w, 1834, 2, 3));
    EXPECT_TRUE(w.got.empty());
    EXPECT_EQ(platform::SendMessage(&w, 1804, 4, 5), 45) << "a send on the loop's thread is direct";
    ASSERT_EQ(w.got.size(), 1u);
    EXPECT_EQ(loop.Pump(), 2);
    EXPECT_EQ(w.got, (std::vector<Received>{{1804, 4, 5, {}}, {1825, 1, 0, {}}, {1834, 2, 3, {}}}));
    EXPECT_EQ(loop.Pump(), 0);
}

TEST(ManualMessageLoop, MessagesPostedWhileHandlingAreHandledInTheSamePump) {
    platform::ManualMessageLoop loop;
    Window w;
    w.AttachLoop(&loop);
    w.onMessage = [&] { platform::PostMessage(&w, 1835, 0, 0); };
    platform::PostMessage(&w, 1804, 0, 0);
    EXPECT_EQ(loop.Pump(), 2);
    EXPECT_EQ(w.got.back().message, 1835u);
}

TEST(ManualMessageLoop, SendFromAnotherThreadBlocksUntilTheLoopThreadHandlesIt) {
    platform::ManualMessageLoop loop;
    Window w;
    w.AttachLoop(&loop);
    std::atomic<bool> returned{false};
    LRESULT result = 0;
    std::thread worker([&] {
        result = platform::SendMessage(&w, 1804, 7, 2);
        returned = true;
    });
    // Nothing is handled, and the sender stays blocked, until the loop's thread pumps.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    EXPECT_TRUE(w.got.empty());
    EXPECT_EQ(loop.PumpWait(std::chrono::seconds(10)), 1);
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(result, 72);
    ASSERT_EQ(w.got.size(), 1u);
    EXPECT_EQ(w.got[0].thread, std::this_thread::get_id());
}

TEST(ManualMessageLoop, SendsComeBeforePostedMessages) {
    platform::ManualMessageLoop loop;
    Window w;
    w.AttachLoop(&loop);
    platform::PostMessage(&w, 1825, 0, 0);
    std::thread worker([&] { platform::SendMessage(&w, 1804, 0, 0); });
    while (loop.Pending() < 2)
        std::this_thread::yield();
    loop.Pump();
    worker.join();
    ASSERT_EQ(w.got.size(), 2u);
    EXPECT_EQ(w.got[0].message, 1804u);
    EXPECT_EQ(w.got[1].message, 1825u);
}

TEST(ManualMessageLoop, TimersFireOnTheFakeClockWithoutPilingUp) {
    platform::ManualMessageLoop loop;
    Window w;
    EXPECT_EQ(platform::SetTimer(&w, 133, 1000), 0u) << "no loop";
    w.AttachLoop(&loop);
    EXPECT_EQ(platform::SetTimer(&w, 133, 1000), 133u);
    EXPECT_EQ(platform::SetTimer(&w, 134, 200), 134u);
    EXPECT_EQ(platform::SetTimer(&w, 0, 200), 0u);

    loop.Advance(199);
    EXPECT_EQ(loop.Pump(), 0);
    loop.Advance(1);
    EXPECT_EQ(loop.Pump(), 1);
    EXPECT_EQ(w.got.back(), (Received{platform::WM_TIMER, 134, 0, {}}));

    // 800 ms more: 134 fell due four times but fires once; 133 fires once.
    w.got.clear();
    loop.Advance(800);
    EXPECT_EQ(loop.Pump(), 2);
    EXPECT_EQ(w.got, (std::vector<Received>{{platform::WM_TIMER, 133, 0, {}},
                                            {platform::WM_TIMER, 134, 0, {}}}));

    // Restarting a timer moves its next time; a killed one stays silent.
    EXPECT_TRUE(platform::KillTimer(&w, 134));
    EXPECT_FALSE(platform::KillTimer(&w, 134));
    loop.Advance(500);
    platform::SetTimer(&w, 133, 1000);
    loop.Advance(600);
    EXPECT_EQ(loop.Pump(), 0);
    loop.Advance(400);
    EXPECT_EQ(loop.Pump(), 1);
}

TEST(ManualMessageLoop, AWindowThatGoesAwayDropsItsMessagesAndTimers) {
    platform::ManualMessageLoop loop;
    Window kept;
    kept.AttachLoop(&loop);
    {
        Window gone;
        gone.AttachLoop(&loop);
        platform::PostMessage(&gone, 1825, 0, 0);
        platform::SetTimer(&gone, 135, 1500);
    }
    platform::PostMessage(&kept, 1834, 0, 0);
    loop.Advance(2000);
    EXPECT_EQ(loop.Pump(), 1);
    EXPECT_EQ(kept.got.size(), 1u);
}

TEST(RegisteredMessages, NumberedFrom0xC000ByNameWithoutCase) {
    unsigned a = platform::RegisterWindowMessage("msg_QuvoDiscBuilder");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(platform::RegisterWindowMessage("MSG_QUVODISCBUILDER"), a);
    EXPECT_NE(platform::RegisterWindowMessage("another"), a);
    EXPECT_EQ(platform::RegisterWindowMessage(""), 0u);
}

} // namespace

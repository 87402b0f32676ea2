// Hidden windows and their posted messages, from one thread and from many.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/callback_window.h"

namespace {

struct Received {
    hMixWindow window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};
std::vector<Received> gReceived;

intptr_t recorder(hMixWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
    gReceived.push_back({w, m, wp, lp});
    return 0;
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterWindowClass("WindowTestRecorder", recorder);
        DispatchPostedMessages();
        gReceived.clear();
    }
};

TEST_F(Windows, ClassesRegisterOnce) {
    EXPECT_FALSE(RegisterWindowClass("WindowTestRecorder", recorder));
    EXPECT_EQ(LastWindowError(), ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_TRUE(RegisterWindowClass("WindowTestOther", recorder));
    EXPECT_EQ(LastWindowError(), 0u);
    EXPECT_FALSE(RegisterWindowClass("", recorder));
    EXPECT_EQ(LastWindowError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateCallbackWindow("NoSuchClass"), 0u);
    EXPECT_EQ(LastWindowError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(Windows, MessagesArriveLaterInOrderAndOnlyToLiveWindows) {
    hMixWindow a = CreateCallbackWindow("WindowTestRecorder");
    hMixWindow b = CreateCallbackWindow("WindowTestRecorder");
    ASSERT_NE(a, 0u);
    ASSERT_NE(a, b);
    EXPECT_TRUE(PostWindowMessage(a, 1, 10, -1));
    EXPECT_TRUE(PostWindowMessage(b, 2, 20, -2));
    EXPECT_TRUE(PostWindowMessage(a, 3, 30, -3));
    EXPECT_TRUE(gReceived.empty());  // posted, not sent

    DestroyCallbackWindow(b);  // b's pending message is dropped
    EXPECT_FALSE(PostWindowMessage(b, 4, 0, 0));
    EXPECT_EQ(DispatchPostedMessages(), 2);
    ASSERT_EQ(gReceived.size(), 2u);
    EXPECT_EQ(gReceived[0].message, 1u);
    EXPECT_EQ(gReceived[0].lParam, -1);
    EXPECT_EQ(gReceived[1].message, 3u);
    EXPECT_EQ(gReceived[1].wParam, 30u);

    // A new window never takes over an old window's id.
    hMixWindow c = CreateCallbackWindow("WindowTestRecorder");
    EXPECT_NE(c, b);
    EXPECT_FALSE(IsCallbackWindow(b));
    DestroyCallbackWindow(a);
    DestroyCallbackWindow(c);
}

TEST_F(Windows, WakeUpComesWhenTheQueueStopsBeingEmpty) {
    hMixWindow w = CreateCallbackWindow("WindowTestRecorder");
    static int wakeups;
    wakeups = 0;
    SetPostedMessageWakeup([](void*) { ++wakeups; }, nullptr);
    PostWindowMessage(w, 1, 0, 0);
    PostWindowMessage(w, 2, 0, 0);
    PostWindowMessage(w, 3, 0, 0);
    EXPECT_EQ(wakeups, 1);
    EXPECT_EQ(DispatchPostedMessages(), 3);
    PostWindowMessage(w, 4, 0, 0);
    EXPECT_EQ(wakeups, 2);
    EXPECT_EQ(DispatchPostedMessages(), 1);
    SetPostedMessageWakeup(nullptr, nullptr);
    DestroyCallbackWindow(w);
}

TEST_F(Windows, ALateListenerIsWokenForMessagesAlreadyWaiting) {
    hMixWindow w = CreateCallbackWindow("WindowTestRecorder");
    static int wakeups;
    wakeups = 0;
    PostWindowMessage(w, 1, 0, 0);  // nobody listens yet
    SetPostedMessageWakeup([](void*) { ++wakeups; }, nullptr);
    EXPECT_EQ(wakeups, 1) << "the waiting message would otherwise never be dispatched";
    EXPECT_EQ(DispatchPostedMessages(), 1);
    SetPostedMessageWakeup(nullptr, nullptr);
    SetPostedMessageWakeup([](void*) { ++wakeups; }, nullptr);
    EXPECT_EQ(wakeups, 1) << "an empty queue needs no wake-up";
    SetPostedMessageWakeup(nullptr, nullptr);
    DestroyCallbackWindow(w);
}

TEST_F(Windows, PostsFromManyThreadsAllArriveInTheirOrder) {
    hMixWindow w = CreateCallbackWindow("WindowTestRecorder");
    static std::atomic<int> wakeups{0};
    wakeups = 0;
    SetPostedMessageWakeup([](void*) { wakeups.fetch_add(1); }, nullptr);
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([w, t] {
            for (int i = 0; i < kEach; ++i)
                while (!PostWindowMessage(w, 7, uintptr_t(t), i)) std::this_thread::yield();
        });
    int delivered = 0;
    while (delivered < kThreads * kEach) delivered += DispatchPostedMessages();
    for (auto& t : threads) t.join();
    SetPostedMessageWakeup(nullptr, nullptr);

    // At least one wake-up per dispatch that found work, never one per post.
    EXPECT_GE(wakeups.load(), 1);
    EXPECT_LE(wakeups.load(), kThreads * kEach);
    std::vector<intptr_t> next(kThreads, 0);
    for (const auto& r : gReceived) {
        ASSERT_LT(r.wParam, size_t(kThreads));
        EXPECT_EQ(r.lParam, next[r.wParam]++);
    }
    for (intptr_t n : next) EXPECT_EQ(n, kEach);
    DestroyCallbackWindow(w);
}

}  // namespace

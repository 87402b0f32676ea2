// Posted messages across threads, and the SDL2 backend on SDL's dummy driver:
// a real audio thread, no sound card. `make tsan` runs these under ThreadSanitizer.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <algorithm>
#include <thread>
#include <vector>

#include "platform/callback_window.h"
#include "platform/wave_out.h"

namespace {

std::vector<std::array<intptr_t, 3>> gGot;  // message, wParam, lParam
intptr_t record(hMixWindow, uint32_t m, uintptr_t wp, intptr_t lp) { return gGot.push_back({m, intptr_t(wp), lp}), 0; }
std::atomic<int> gWakeups{0};
void wake(void*) { ++gWakeups; }

TEST(CallbackWindow, ClassesRegisterOnceAndMessagesArriveLaterInOrderToLiveWindowsOnly) {
    ASSERT_TRUE(RegisterWindowClass("Recorder", record));
    EXPECT_EQ((RegisterWindowClass("Recorder", record), LastWindowError()), ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_EQ((CreateCallbackWindow("NoSuchClass"), LastWindowError()), ERROR_CANNOT_FIND_WND_CLASS);

    const hMixWindow a = CreateCallbackWindow("Recorder"), b = CreateCallbackWindow("Recorder");
    EXPECT_TRUE(PostWindowMessage(a, 1, 10, -1) && PostWindowMessage(b, 2, 20, -2) && PostWindowMessage(a, 3, 30, -3));
    EXPECT_TRUE(gGot.empty()) << "posted, not sent";
    DestroyCallbackWindow(b);  // its waiting message is dropped
    EXPECT_FALSE(PostWindowMessage(b, 4, 0, 0));
    EXPECT_EQ(DispatchPostedMessages(), 2);
    EXPECT_EQ(gGot, (std::vector<std::array<intptr_t, 3>>{{1, 10, -1}, {3, 30, -3}}));
    EXPECT_NE(CreateCallbackWindow("Recorder"), b) << "a new window took an old one's id";

    // The wake-up comes when the queue stops being empty, also for a listener that comes late.
    PostWindowMessage(a, 5, 0, 0);
    SetPostedMessageWakeup(wake, nullptr);
    EXPECT_EQ(gWakeups, 1) << "the waiting message would never be dispatched";
    PostWindowMessage(a, 6, 0, 0);
    EXPECT_EQ(gWakeups, 1);
    EXPECT_EQ(DispatchPostedMessages(), 2);
    PostWindowMessage(a, 7, 0, 0);
    EXPECT_EQ(gWakeups, 2);
    SetPostedMessageWakeup(nullptr, nullptr);
}

TEST(CallbackWindow, PostsFromManyThreadsAllArriveInTheirOrder) {
    RegisterWindowClass("Recorder", record);
    DispatchPostedMessages(), gGot.clear();  // nothing left from before
    const hMixWindow w = CreateCallbackWindow("Recorder");
    SetPostedMessageWakeup(wake, nullptr);
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([w, t] {
            for (int i = 0; i < kEach; ++i)
                while (!PostWindowMessage(w, 7, uintptr_t(t), i)) std::this_thread::yield();
        });
    for (int delivered = 0; delivered < kThreads * kEach;) delivered += DispatchPostedMessages();
    for (auto& t : threads) t.join();
    SetPostedMessageWakeup(nullptr, nullptr);
    std::vector<intptr_t> next(kThreads, 0);
    for (const auto& [m, thread, i] : gGot) ASSERT_EQ(i, next[size_t(thread)]++);
    EXPECT_EQ(next, std::vector<intptr_t>(kThreads, kEach));
}

const bool kDummyDriver = setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;
using namespace std::chrono_literals;

class SdlWaveOut : public ::testing::Test {
protected:
    WaveOutDriver& driver = SdlWaveOutDriver();
    hMixWindow window = (RegisterWindowClass("Recorder", record), gGot.clear(), CreateCallbackWindow("Recorder"));
    std::unique_ptr<WaveOutDevice> device;
    std::vector<std::vector<uint8_t>> bytes = std::vector<std::vector<uint8_t>>(8);
    std::unique_ptr<WaveHeader[]> blocks = std::make_unique<WaveHeader[]>(8);

    void TearDown() override { device.reset(), DestroyCallbackWindow(window), DispatchPostedMessages(); }
    // Opens in stereo, paused or not, and writes n blocks, each 4 bytes longer than the last.
    void openAndWrite(uint32_t rate, bool paused, size_t n, size_t length) {
        WaveOutFormat f;
        f.samplesPerSec = rate, f.channels = 2;
        ASSERT_EQ(driver.open(device, WAVE_MAPPER, f, window), MMSYSERR_NOERROR);
        if (paused) device->pause();
        for (size_t i = 0; i < n; ++i) {
            bytes[i].assign(length + 4 * i, 0x90);
            blocks[i].data = bytes[i].data(), blocks[i].bufferLength = uint32_t(bytes[i].size());
            ASSERT_EQ(device->prepare(blocks[i]), MMSYSERR_NOERROR);
            ASSERT_EQ(device->write(blocks[i]), MMSYSERR_NOERROR);
        }
    }
    bool waitDone(size_t n) {  // delivers messages until n blocks are reported done, or five seconds pass
        for (int i = 0; i < 2500 && gGot.size() < n; ++i) DispatchPostedMessages(), std::this_thread::sleep_for(2ms);
        return gGot.size() >= n;
    }
};

TEST_F(SdlWaveOut, PlaysBlocksInOrderCopiedAtWriteAndCountsTheirBytes) {
    openAndWrite(44100, false, 4, 1000);
    for (auto& b : bytes) std::fill(b.begin(), b.end(), 0x11);  // the caller may reuse them at once
    ASSERT_TRUE(waitDone(4));
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(gGot[i], (std::array<intptr_t, 3>{MM_WOM_DONE, 0, reinterpret_cast<intptr_t>(&blocks[i])}));
    EXPECT_EQ(device->positionBytes(), 1000u + 1004 + 1008 + 1012);
    WaveHeader unprepared;
    EXPECT_EQ(device->write(unprepared), WAVERR_UNPREPARED);
}

TEST_F(SdlWaveOut, PauseHoldsAndResetReturnsEveryBlockAndRestartsTheCount) {
    openAndWrite(11025, true, 6, 4096);
    EXPECT_EQ(device->unprepare(blocks[5]), WAVERR_STILLPLAYING);
    std::this_thread::sleep_for(80ms);
    DispatchPostedMessages();
    EXPECT_TRUE(gGot.empty());
    EXPECT_EQ(device->positionBytes(), 0u);
    device->restart();
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(device->reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(device->positionBytes(), 0u);
    for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(blocks[i].done());
    ASSERT_TRUE(waitDone(6));
    device->write(blocks[0]);  // it plays on after a reset
    ASSERT_TRUE(waitDone(7));
    EXPECT_EQ(device->positionBytes(), 4096u);
}

TEST_F(SdlWaveOut, ClosingStopsTheThreadBeforeReturning) {
    openAndWrite(22050, false, 8, 1024);
    std::this_thread::sleep_for(5ms);
    device.reset();
    size_t doneAtClose = 0;
    for (size_t i = 0; i < 8; ++i) doneAtClose += blocks[i].done();
    blocks.reset();  // nothing may touch them once the device is gone
    std::this_thread::sleep_for(250ms);
    DispatchPostedMessages();
    EXPECT_LT(doneAtClose, 8u);
    EXPECT_EQ(gGot.size(), doneAtClose) << "a block reported done after the close";
}

}  // namespace

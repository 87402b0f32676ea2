// Posted messages, and the SDL2 backend on SDL's dummy driver: a real audio thread posting
// them, no sound card. `make tsan` runs these under ThreadSanitizer.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/callback_window.h"
#include "platform/wave_out.h"

namespace {

using Message = std::array<intptr_t, 3>;  // message, wParam, lParam
std::vector<Message> gGot;
intptr_t record(hMixWindow, uint32_t m, uintptr_t wp, intptr_t lp) {
    gGot.push_back({m, intptr_t(wp), lp});
    return 0;
}
std::atomic<int> gWakeups{0};
void wake(void*) { ++gWakeups; }
hMixWindow freshRecorder() {  // nothing left from an earlier case run in the same process
    RegisterWindowClass("Recorder", record);
    DispatchPostedMessages();
    gGot.clear();
    return CreateCallbackWindow("Recorder");
}

TEST(CallbackWindow, ClassesRegisterOnceAndMessagesArriveLaterInOrderToLiveWindowsOnly) {
    ASSERT_TRUE(RegisterWindowClass("Recorder", record));
    EXPECT_FALSE(RegisterWindowClass("Recorder", record));
    EXPECT_EQ(LastWindowError(), ERROR_CLASS_ALREADY_EXISTS);

    const hMixWindow a = CreateCallbackWindow("Recorder"), b = CreateCallbackWindow("Recorder");
    EXPECT_TRUE(PostWindowMessage(a, 1, 10, -1) && PostWindowMessage(b, 2, 20, -2) && PostWindowMessage(a, 3, 30, -3));
    EXPECT_TRUE(gGot.empty()) << "posted, not sent";
    DestroyCallbackWindow(b);  // its waiting message is dropped
    EXPECT_FALSE(PostWindowMessage(b, 4, 0, 0));
    EXPECT_EQ(DispatchPostedMessages(), 2);
    EXPECT_EQ(gGot, (std::vector<Message>{{1, 10, -1}, {3, 30, -3}}));
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

const bool kDummyDriver = setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;
using namespace std::chrono_literals;

// Blocks play in order, only while not paused, copied at write; a reset returns every block and
// restarts the count; closing stops the audio thread before it returns.
TEST(SdlWaveOut, PlaysPausesResetsAndClosesForGood) {
    const hMixWindow window = freshRecorder();
    std::unique_ptr<WaveOutDevice> device;
    WaveOutFormat f;
    f.samplesPerSec = 22050;
    f.channels = 2;
    ASSERT_EQ(SdlWaveOutDriver().open(device, WAVE_MAPPER, f, window), MMSYSERR_NOERROR);
    std::vector<std::vector<uint8_t>> bytes(8);
    auto blocks = std::make_unique<WaveHeader[]>(8);
    for (size_t i = 0; i < 8; ++i) {  // each 4 bytes longer than the last
        bytes[i].assign(1000 + 4 * i, 0x90);
        blocks[i].data = bytes[i].data();
        blocks[i].bufferLength = uint32_t(bytes[i].size());
        ASSERT_EQ(device->prepare(blocks[i]), MMSYSERR_NOERROR);
    }
    const auto write = [&](size_t n) {
        for (size_t i = 0; i < n; ++i) ASSERT_EQ(device->write(blocks[i]), MMSYSERR_NOERROR);
    };
    const auto waitDone = [](size_t n) {  // delivers messages until n blocks are reported done, or five seconds pass
        for (int i = 0; i < 2500 && gGot.size() < n; ++i) {
            DispatchPostedMessages();
            std::this_thread::sleep_for(2ms);
        }
        return gGot.size() >= n;
    };
    device->pause();
    write(4);
    for (auto& b : bytes) std::fill(b.begin(), b.end(), 0x11);  // the caller may reuse them at once
    EXPECT_EQ(device->unprepare(blocks[3]), WAVERR_STILLPLAYING);
    std::this_thread::sleep_for(80ms);
    DispatchPostedMessages();
    EXPECT_TRUE(gGot.empty()) << "played while paused";
    device->restart();
    ASSERT_TRUE(waitDone(4));
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(gGot[i], (Message{MM_WOM_DONE, 0, intptr_t(&blocks[i])}));
    EXPECT_EQ(device->positionBytes(), 1000u + 1004 + 1008 + 1012);
    WaveHeader unprepared;
    EXPECT_EQ(device->write(unprepared), WAVERR_UNPREPARED);

    write(4);  // reset while they play
    ASSERT_EQ(device->reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(device->positionBytes(), 0u);
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(blocks[i].done());
    ASSERT_TRUE(waitDone(8));
    write(1);  // it plays on after a reset
    ASSERT_TRUE(waitDone(9));
    EXPECT_EQ(device->positionBytes(), 1000u);

    gGot.clear();
    write(8);
    std::this_thread::sleep_for(5ms);
    device.reset();
    size_t doneAtClose = 0;
    for (size_t i = 0; i < 8; ++i) doneAtClose += blocks[i].done();
    blocks.reset();  // nothing may touch them once the device is gone
    std::this_thread::sleep_for(250ms);
    DispatchPostedMessages();
    EXPECT_LT(doneAtClose, 8u);
    EXPECT_EQ(gGot.size(), doneAtClose) << "a block reported done after the close";
    DestroyCallbackWindow(window);
}

}  // namespace

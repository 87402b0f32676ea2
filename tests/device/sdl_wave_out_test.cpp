// The SDL2 backend on SDL's dummy driver: real audio thread, no sound card.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/wave_out.h"

namespace {

const bool kDummyDriver = [] {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

std::vector<intptr_t> gDone;
intptr_t collectDone(hMixWindow, uint32_t m, uintptr_t, intptr_t lp) {
    if (m == MM_WOM_DONE) gDone.push_back(lp);
    return 0;
}

struct Block {
    WaveHeader header;
    std::vector<uint8_t> bytes;
    explicit Block(size_t n, uint8_t fill = 0x90) : bytes(n, fill) {
        header.data = bytes.data();
        header.bufferLength = uint32_t(n);
    }
};

class SdlWaveOut : public ::testing::Test {
protected:
    WaveOutDriver& driver = SdlWaveOutDriver();
    hMixWindow window = 0;
    std::unique_ptr<WaveOutDevice> device;

    void SetUp() override {
        RegisterWindowClass("SdlTestCallback", collectDone);
        window = CreateCallbackWindow("SdlTestCallback");
        gDone.clear();
    }
    void TearDown() override {
        device.reset();
        DestroyCallbackWindow(window);
        DispatchPostedMessages();
    }

    void open(uint32_t rate = 44100, uint16_t channels = 1) {
        WaveOutFormat f;
        f.samplesPerSec = rate;
        f.channels = channels;
        ASSERT_EQ(driver.open(device, WAVE_MAPPER, f, window), MMSYSERR_NOERROR);
    }

    // Delivers messages until n blocks are reported done or five seconds pass.
    bool waitDone(size_t n) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (gDone.size() < n && std::chrono::steady_clock::now() < until) {
            DispatchPostedMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return gDone.size() >= n;
    }
};

TEST_F(SdlWaveOut, ListsDevicesAndAnswersFormatQueries) {
    int count = driver.deviceCount();
    ASSERT_GE(count, 1);
    for (int32_t id : {WAVE_MAPPER, 0}) {
        WaveOutCaps caps;
        ASSERT_EQ(driver.getCaps(id, caps), MMSYSERR_NOERROR);
        size_t len = strnlen(caps.productName, sizeof(caps.productName));
        EXPECT_GT(len, 0u);
        EXPECT_LE(len, 31u);
        EXPECT_TRUE(caps.channels == 1 || caps.channels == 2);
        EXPECT_EQ(caps.support & WAVECAPS_SYNC, 0u);
    }
    WaveOutCaps caps;
    EXPECT_EQ(driver.getCaps(count, caps), MMSYSERR_BADDEVICEID);

    WaveOutFormat f;
    for (uint32_t rate : {11025u, 22050u, 44100u})
        for (uint16_t ch : {uint16_t(1), uint16_t(2)}) {
            f.samplesPerSec = rate;
            f.channels = ch;
            EXPECT_EQ(driver.queryFormat(WAVE_MAPPER, f), MMSYSERR_NOERROR);
        }
    f.bitsPerSample = 16;
    EXPECT_EQ(driver.queryFormat(WAVE_MAPPER, f), WAVERR_BADFORMAT);
    f.bitsPerSample = 8;
    f.samplesPerSec = 8000;
    EXPECT_EQ(driver.queryFormat(0, f), WAVERR_BADFORMAT);
}

TEST_F(SdlWaveOut, PlaysBlocksInOrderAndCountsTheirBytes) {
    open(44100, 2);
    std::vector<std::unique_ptr<Block>> blocks;
    for (int i = 0; i < 4; ++i) {
        blocks.push_back(std::make_unique<Block>(1000 + 4 * i));
        ASSERT_EQ(device->prepare(blocks.back()->header), MMSYSERR_NOERROR);
    }
    for (auto& b : blocks) ASSERT_EQ(device->write(b->header), MMSYSERR_NOERROR);
    // The bytes were copied at write time: the caller may reuse them at once.
    for (auto& b : blocks) std::memset(b->bytes.data(), 0x11, b->bytes.size());
    ASSERT_TRUE(waitDone(4));
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(gDone[i], reinterpret_cast<intptr_t>(&blocks[i]->header));
        EXPECT_TRUE(blocks[i]->header.done());
    }
    EXPECT_EQ(device->positionBytes(), 1000u + 1004 + 1008 + 1012);
    for (auto& b : blocks) EXPECT_EQ(device->unprepare(b->header), MMSYSERR_NOERROR);
}

TEST_F(SdlWaveOut, ResetReturnsEveryBlockAndRestartsTheCounter) {
    open(11025);
    std::vector<std::unique_ptr<Block>> blocks;
    for (int i = 0; i < 6; ++i) {
        blocks.push_back(std::make_unique<Block>(4096));
        device->prepare(blocks.back()->header);
        device->write(blocks.back()->header);
    }
    EXPECT_EQ(device->unprepare(blocks[5]->header), WAVERR_STILLPLAYING);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(device->reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(device->positionBytes(), 0u);
    for (auto& b : blocks) EXPECT_TRUE(b->header.done());
    ASSERT_TRUE(waitDone(6));
    EXPECT_EQ(gDone.size(), 6u);

    // It keeps playing what is written after the reset.
    gDone.clear();
    device->write(blocks[0]->header);
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(device->positionBytes(), 4096u);
    for (auto& b : blocks) device->unprepare(b->header);
}

TEST_F(SdlWaveOut, PauseHoldsThePosition) {
    open(44100);
    Block b(2000);
    device->prepare(b.header);
    device->pause();
    device->write(b.header);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    DispatchPostedMessages();
    EXPECT_TRUE(gDone.empty());
    EXPECT_EQ(device->positionBytes(), 0u);
    device->restart();
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(device->positionBytes(), 2000u);
    device->unprepare(b.header);
}

TEST_F(SdlWaveOut, ClosingStopsTheThreadBeforeReturning) {
    open(44100);
    std::vector<std::unique_ptr<Block>> blocks;
    for (int i = 0; i < 8; ++i) {
        blocks.push_back(std::make_unique<Block>(1024));
        device->prepare(blocks.back()->header);
        device->write(blocks.back()->header);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    device.reset();
    size_t doneAtClose = 0;
    for (auto& b : blocks) doneAtClose += b->header.done();
    blocks.clear();  // nothing may touch the headers once the device is gone
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    DispatchPostedMessages();
    EXPECT_LT(doneAtClose, 8u);
    EXPECT_EQ(gDone.size(), doneAtClose);
}

TEST_F(SdlWaveOut, UnpreparedOrOversizedBlocksAreRefused) {
    open();
    Block b(512);
    EXPECT_EQ(device->write(b.header), WAVERR_UNPREPARED);
    device->prepare(b.header);
    b.header.bufferLength = 513;
    EXPECT_EQ(device->write(b.header), MMSYSERR_INVALPARAM);
    device->unprepare(b.header);
}

}  // namespace

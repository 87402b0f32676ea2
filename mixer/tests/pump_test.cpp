// Taking the device, keeping its blocks filled, the two positions.
#include "mixer_fixture.h"

namespace {

class Pump : public MixerTest {
protected:
    hMixSession h = 0;
    mixer::Session* s = nullptr;

    void start(const std::string& ini = "", const MixConfig* config = nullptr) {
        writeIni(ini);
        h = SoundMixInit(config);
        s = &session(h);
    }

    size_t queueLength() {
        size_t n = 0;
        for (mixer::Block* b = queue().head(); b; b = b->link) ++n;
        return n;
    }

    static std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
        return std::vector<uint8_t>(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(from + n));
    }
};

TEST_F(Pump, ActivationOpensAndDeactivationGivesBack) {
    start("[general]\nWaveOutDevice=0\n", nullptr);
    SoundMixActivate(h, true);
    EXPECT_TRUE(s->activated);
    EXPECT_EQ(deviceSession(), s);
    EXPECT_TRUE(wave.isOpen());
    EXPECT_EQ(wave.openedFormat().samplesPerSec, 11025u);
    EXPECT_EQ(wave.prepared(), mixer::kBlockCount);
    EXPECT_TRUE(IsCallbackWindow(wave.callbackWindow()));
    EXPECT_TRUE(wave.written().empty());  // nothing plays, nothing is queued

    wave.clearLog();
    SoundMixActivate(h, true);
    EXPECT_TRUE(wave.calls().empty());

    hMixWindow window = wave.callbackWindow();
    SoundMixActivate(h, false);
    EXPECT_FALSE(s->activated);
    EXPECT_EQ(deviceSession(), nullptr);
    EXPECT_FALSE(wave.isOpen());
    EXPECT_EQ(wave.prepared(), 0);
    EXPECT_FALSE(IsCallbackWindow(window));
    EXPECT_EQ(blockAt(0), nullptr);

    wave.clearLog();
    SoundMixActivate(h, false);  // already inactive: nothing happens
    EXPECT_TRUE(wave.calls().empty());
}

TEST_F(Pump, BlocksCarryTheMixAndComeBackByTheirDoneFlag) {
    start();
    const auto& w = keep(ramp(20000));
    queuePlay(*s, 1, w, 0);
    SoundMixActivate(h, true);
    ASSERT_EQ(wave.written().size(), 3u);
    EXPECT_EQ(wave.written()[1], slice(w, 2048, 2048));
    EXPECT_EQ(queueLength(), 3u);

    playBlock();
    ASSERT_EQ(wave.written().size(), 4u);
    EXPECT_EQ(wave.written()[3], slice(w, 3 * 2048, 2048));
    EXPECT_EQ(wave.writtenHeaders()[3], wave.writtenHeaders()[0]);  // the block came back and went out again

    // Two blocks done, one message: both come back.
    wave.complete(2);
    wave.clearLog();
    mx().pump();
    ASSERT_EQ(wave.written().size(), 2u);
    EXPECT_EQ(wave.written()[1], slice(w, 5 * 2048, 2048));
    EXPECT_EQ(DispatchPostedMessages(), 2);  // the late messages find nothing more to do
    EXPECT_EQ(wave.written().size(), 2u);
}

TEST_F(Pump, TwoBlocksInUseMeansBlocksZeroAndOne) {
    start("[default]\nWaveBlocks=2\nWaveBlockLen=512\n");
    const auto& w = keep(ramp(300));
    queuePlay(*s, 0, w, 0, mixer::kLoopForever);
    SoundMixActivate(h, true);
    for (int i = 0; i < 20; ++i) playBlock();
    ASSERT_EQ(wave.written().size(), 22u);
    for (WaveHeader* header : wave.writtenHeaders())
        EXPECT_TRUE(header == &blockAt(0)->header || header == &blockAt(1)->header);
    EXPECT_EQ(wave.queued(), 2u);
}

TEST_F(Pump, FinishedPlaysAreRetiredWithTheirNotice) {
    start("[default]\nWaveBlockLen=512\n");
    static std::vector<std::pair<uintptr_t, intptr_t>> notices;
    notices.clear();
    RegisterWindowClass("MixerTestNotices", [](hMixWindow, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
        if (m == MIX_END_NOTICE) notices.emplace_back(wp, lp);
        return 0;
    });
    hMixWindow listener = CreateCallbackWindow("MixerTestNotices");
    const auto& w = keep(ramp(600));
    mixer::PlayEntry* e = queuePlay(*s, 5, w, 0, 0, listener);
    hMixWave id = e->params.wave;
    queuePlay(*s, 6, keep(ramp(512)), 0);
    SoundMixActivate(h, true);
    ASSERT_EQ(wave.written().size(), 2u);

    playBlock();  // 512 heard: the play ends at 600
    EXPECT_EQ(s->channelHeads[5], e);
    EXPECT_EQ(s->channelHeads[6], nullptr);  // heard exactly to its end
    EXPECT_TRUE(notices.empty());
    playBlock();
    EXPECT_EQ(s->channelHeads[5], nullptr);
    DispatchPostedMessages();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], std::make_pair(uintptr_t{5}, intptr_t(id)));
    EXPECT_EQ(pool().freeCount(), mixer::kPoolSize);
    EXPECT_EQ(wave.queued(), 0u);  // fallen idle
    DestroyCallbackWindow(listener);
}

TEST_F(Pump, ResumesWhereItWasHeardFromTheByteCounter) {
    start("[default]\nGoodWavePos=1\n");
    const auto& w = keep(ramp(20000));
    queuePlay(*s, 0, w, 0);
    SoundMixActivate(h, true);
    wave.play(2048 + 300);
    DispatchPostedMessages();
    SoundMixActivate(h, false);
    EXPECT_EQ(s->mixPosition, 2348);

    wave.clearLog();
    SoundMixActivate(h, true);
    ASSERT_FALSE(wave.written().empty());
    EXPECT_EQ(wave.written()[0], slice(w, 2348, 2048));
}

TEST_F(Pump, ResumesWhereItWasHeardFromTheClock) {
    start();
    const auto& w = keep(ramp(20000));
    queuePlay(*s, 0, w, 0);
    SoundMixActivate(h, true);
    clockNow += 100;  // 1102.5 bytes at 11025 per second
    SoundMixActivate(h, false);
    EXPECT_EQ(s->mixPosition, 1102);
    clockNow += 5000;  // time spent inactive is not heard
    wave.clearLog();
    SoundMixActivate(h, true);
    ASSERT_FALSE(wave.written().empty());
    EXPECT_EQ(wave.written()[0], slice(w, 1102, 2048));
}

TEST_F(Pump, StereoClockPositionsAreEven) {
    MixConfig stereo{10, MIX_CONFIG_CHANNELS, 2, 0};
    start("", &stereo);
    SoundMixActivate(h, true);
    for (uint32_t ms = 0; ms < 200; ++ms) {
        clockNow += 1;
        EXPECT_EQ(mx().playPosition(*s, mixer::PositionFrom::Clock) % 2, 0) << ms;
    }
    EXPECT_EQ(mx().playPosition(*s, mixer::PositionFrom::Clock), 4410);
}

TEST_F(Pump, ClockPositionSurvivesTheClockWrapping) {
    start();
    clockNow = 0xFFFFF000u;
    syncPosition(*s, 1000);
    clockNow += 0x2000;  // wrapped past zero
    EXPECT_EQ(mx().playPosition(*s, mixer::PositionFrom::Clock), 1000 + 0x2000 * 11025 / 1000);
    // Six weeks of sound: the anchor moves on, nothing overflows.
    mixer::Position last = mx().playPosition(*s, mixer::PositionFrom::Clock);
    for (int i = 0; i < 42; ++i) {
        clockNow += 86400000u;
        mixer::Position p = mx().playPosition(*s, mixer::PositionFrom::Clock);
        EXPECT_EQ(p - last, int64_t{86400} * 11025);
        last = p;
    }
}

TEST_F(Pump, ResetReturnsBlocksAndLateMessagesTakeNothingNew) {
    start("[default]\nGoodWavePos=1\n");
    const auto& w = keep(ramp(30000));
    queuePlay(*s, 0, w, 0);
    SoundMixActivate(h, true);
    wave.play(1000);
    resetKeepingPosition(*s);
    EXPECT_EQ(wave.position(), 0u);
    EXPECT_EQ(mx().playPosition(*s, mixer::PositionFrom::DeviceCounter), 1000);
    EXPECT_EQ(s->mixPosition, 1000);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(blockAt(i)->header.done());

    // Take the returned blocks back by hand, as a remix does, and queue new ones.
    queue().reclaimAll();
    wave.clearLog();
    refill(*s);
    ASSERT_EQ(wave.written().size(), 3u);
    EXPECT_EQ(wave.written()[0], slice(w, 1000, 2048));
    // The reset's own messages arrive now: the new blocks are not done, so they stay.
    EXPECT_EQ(DispatchPostedMessages(), 3);
    EXPECT_EQ(queueLength(), 3u);
    EXPECT_EQ(wave.written().size(), 3u);
}

TEST_F(Pump, IdlePositionRestartsFromZero) {
    start();
    SoundMixActivate(h, true);
    syncPosition(*s, 77777);
    openChannel(*s, 2);
    resetIdlePosition(*s);
    EXPECT_EQ(s->mixPosition, 0);

    syncPosition(*s, 500);
    queuePlay(*s, 2, keep(ramp(10)), 500);
    resetIdlePosition(*s);
    EXPECT_EQ(s->mixPosition, 500);
}

TEST_F(Pump, FailedActivationsKeepTheClaim) {
    start();
    wave.refuseOpen(MMSYSERR_ALLOCATED);
    expectError([this] { SoundMixActivate(h, true); }, "Failed to open waveform output device #4");
    EXPECT_FALSE(s->activated);
    EXPECT_EQ(deviceSession(), s);
    EXPECT_EQ(s->window, 0u);

    wave.refuseOpen(0);
    wave.clearLog();
    SoundMixActivate(h, true);  // claimed already: returns at once
    EXPECT_TRUE(wave.calls().empty());
    EXPECT_FALSE(s->activated);
    mx().pump();  // a stray message while claimed but closed does nothing
    EXPECT_TRUE(wave.calls().empty());

    SoundMixActivate(h, false);
    EXPECT_EQ(deviceSession(), nullptr);

    wave.refusePrepare(3, 11);
    expectError([this] { SoundMixActivate(h, true); }, "Unable to prepare wave header #11");
    EXPECT_FALSE(wave.isOpen());
    EXPECT_EQ(wave.prepared(), 0);
    EXPECT_EQ(blockAt(0), nullptr);
    SoundMixActivate(h, false);

    wave.refusePrepare(-1, 0);
    SoundMixActivate(h, true);
    EXPECT_TRUE(s->activated);
}

TEST_F(Pump, RefusedBlockIsFreedAndOthersStay) {
    start();
    const auto& w = keep(ramp(10000));
    queuePlay(*s, 0, w, 0);
    wave.refuseWrite(1, MMSYSERR_NOMEM);
    expectError([this] { SoundMixActivate(h, true); }, "Failed to write block to device");
    EXPECT_TRUE(s->activated);
    EXPECT_EQ(queueLength(), 1u);
    EXPECT_FALSE(blockAt(0)->free);
    EXPECT_TRUE(blockAt(1)->free);
    EXPECT_EQ(s->mixPosition, 4096);  // the refused block's bytes are skipped, as the device never had them
    EXPECT_EQ(s->channelHeads[0]->length, 10000);
}

TEST_F(Pump, MessagesWithoutADeviceSessionDoNothing) {
    start();
    SoundMixActivate(h, true);
    hMixWindow window = wave.callbackWindow();
    SoundMixActivate(h, false);
    mx().pump();
    EXPECT_FALSE(PostWindowMessage(window, MM_WOM_DONE, 0, 0));  // the window has gone
    EXPECT_EQ(DispatchPostedMessages(), 0);
}

TEST_F(Pump, CloseSessionGivesBackTheDeviceAndThePlays) {
    start();
    queuePlay(*s, 0, keep(ramp(10000)), 0, mixer::kLoopForever);
    queuePlay(*s, 6, keep(ramp(100)), 0);
    SoundMixActivate(h, true);
    SoundMixCloseSession(h);
    EXPECT_FALSE(wave.isOpen());
    EXPECT_EQ(deviceSession(), nullptr);
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(pool().freeCount(), mixer::kPoolSize);
    EXPECT_EQ(mx().sessionHandle(), 0u);
}

}  // namespace

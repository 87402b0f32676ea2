// The pet's sounds: the window's mixer, PlaySound's queue on channel 1 and
// the waves it frees once they have been heard.
#include <algorithm>

#include "app/form1.h"
#include "app/program.h"
#include "mixer/views.h"
#include "tests/support/support.h"
#include "tests/sound/sound_fixture.h"

namespace {

class FormSound : public SoundTest {
protected:
    TempDir exe;
    ScriptedBoxes boxes;
    Random random{7};

    void SetUp() override {
        SoundTest::SetUp();
        writeIni("[default]\nGoodWavePos=1\n");
        exe.copyCg();
    }

    FormServices services() {
        FormServices s = testServices(boxes, random, exe.path());
        s.clockSeed = [] { return 1u; };
        return s;
    }

    // The bytes the mixer holds for a file of cg/, in the session's format.
    std::vector<uint8_t> converted(const std::string& name) {
        const hMixSession live = mixer::view::currentSession();
        const hMixWave w = SoundMixOpenWave(live, (exe.path() + "cg/" + name).c_str(), 0, MIX_WAVE_FILE);
        const MixWave* mw = SoundMixWaveInfo(w);
        std::vector<uint8_t> bytes(mw->header.data, mw->header.data + mw->header.bufferLength);
        SoundMixFreeWave(live, w);
        return bytes;
    }
};

TEST_F(FormSound, TheWindowsMixerHoldsTheDeviceAndChannelsZeroToThree) {
    TForm1 f(services());
    ASSERT_TRUE(f.soundMix());
    EXPECT_TRUE(f.soundMix()->Activated());
    EXPECT_EQ(f.soundMix()->Channels(), 15);
    EXPECT_TRUE(wave.isOpen());
    EXPECT_EQ(mixer::view::openChannelCount(f.soundMix()->session()), 4);
    const TForm1::Preloaded p = f.preloaded();
    for (hMixWave w : {p.wave_7, p.wave_6, p.wave_last, p.wave_5}) EXPECT_NE(SoundMixWaveInfo(w), nullptr);
    EXPECT_EQ(mixer::view::liveWaveCount(), 4u);
}

TEST_F(FormSound, ClosingTheWindowFreesItsWavesAndGivesEverythingBack) {
    {
        TForm1 f(services());
        f.PlaySound("3.wav");
        f.PlaySound("2.wav");
    }
    EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
    EXPECT_FALSE(wave.isOpen());
    EXPECT_EQ(mixer::view::sessionHandle(), 0u);
}

TEST_F(FormSound, NoDeviceEndsTheProgramBeforeThePetIsLoaded) {
    wave.setDevices({});
    exe.write("my.dat", "untouched");
    EXPECT_EQ(runPiko(services()), 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "fatal");
    EXPECT_EQ(boxes.shown[0].text, "No wave output devices available");
    EXPECT_EQ(exe.read("my.dat"), "untouched");
    EXPECT_EQ(mixer::view::sessionHandle(), 0u);
}

TEST_F(FormSound, ADeviceThatWillNotOpenEndsTheProgramToo) {
    wave.refuseOpen(MMSYSERR_ALLOCATED);
    exe.write("my.dat", "untouched");
    EXPECT_EQ(runPiko(services()), 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Failed to open waveform output device #4");
    EXPECT_EQ(exe.read("my.dat"), "untouched");
    EXPECT_EQ(mixer::view::sessionHandle(), 0u);  // the half-built window's mixer closed its session
}

TEST_F(FormSound, QueuedSoundsPlayInTurnAndAreFreedOnceHeard) {
    TForm1 f(services());
    const auto two = converted("2.wav"), four = converted("4.wav");
    f.PlaySound("2.wav");
    const hMixWave first = f.preloaded().wave_last;
    f.PlaySound("4.wav");  // as AddPoints does right behind a reply
    EXPECT_NE(SoundMixWaveInfo(first), nullptr);  // still to be played: kept
    const auto heard = hearAll();
    // 2.wav was mixed to its end at once: 4.wav waits for the next block.
    const size_t block = size_t(mixer::view::settings(mixer::view::currentSession())->blockLength), gap = (block - two.size() % block) % block;
    ASSERT_GT(gap, 0u);
    EXPECT_EQ(upTo(heard, two.size() + gap + four.size()), cat({two, silence(gap), four}));
    DispatchPostedMessages();
    EXPECT_EQ(SoundMixWaveInfo(first), nullptr);         // heard: gone
    EXPECT_NE(SoundMixWaveInfo(f.preloaded().wave_last), nullptr);   // the last one stays for the window
    EXPECT_EQ(mixer::view::liveWaveCount(), 4u);  // wave_7, wave_6, wave_5 and wave_last
    EXPECT_EQ(mixer::view::poolFreeCount(), 100);
}

TEST_F(FormSound, ALongLifeKeepsTheMixerFlat) {
    wave.keepWritten(false);
    TForm1 f(services());
    const char* const names[] = {"2.wav", "4.wav", "1.wav", "2.wav", "4.wav", "3.wav", "4.wav"};
    size_t most = 0;
    for (int i = 0; i < 3000; ++i) {
        f.PlaySound(names[i % 7]);
        if (i % 11 == 0) f.soundMix()->Play(1, f.preloaded().wave_5, 0, 0, 0);  // the sleeping sound, as the life clock plays it
        const size_t blocks = 3 + size_t(i % 3);
        for (size_t b = 0; b < blocks && wave.queued() > 0; ++b) {
            wave.complete(1);
            DispatchPostedMessages();
        }
        most = std::max(most, mixer::view::liveWaveCount());
    }
    while (wave.queued() > 0) {
        wave.complete(1);
        DispatchPostedMessages();
    }
    EXPECT_EQ(mixer::view::poolFreeCount(), 100);
    EXPECT_EQ(mixer::view::liveWaveCount(), 4u);
    EXPECT_LE(most, 4u + 8u);  // at most a few plays in flight at any time
    RecordProperty("most_live_waves", int(most));
}

}  // namespace

// TSoundMix, the component the pet plays through: the mixer calls its
// properties and its life make, and play once, free when heard.
#include "mixer/sound_mix_component.h"
#include "mixer_test.h"

namespace {

std::vector<std::string> calls;
bool initGivesNone = false;

// The component's calls, recorded and passed on to the mixer.
SoundMixApi recorded() {
    SoundMixApi api;
    api.init = [](const MixConfig* c) {
        calls.push_back("init " + std::to_string(c->size) + " " + std::to_string(c->flags));
        const hMixSession h = SoundMixInit(c);
        return initGivesNone ? 0 : h;
    };
    api.closeSession = [](hMixSession h) { calls.push_back("closeSession"), SoundMixCloseSession(h); };
    api.activate = [](hMixSession h, bool on) { calls.push_back(on ? "activate" : "deactivate"), SoundMixActivate(h, on); };
    api.openChannel = [](hMixSession h, int32_t c, int32_t mode) {
        calls.push_back("open " + std::to_string(c) + " " + std::to_string(mode)), SoundMixOpenChannel(h, c, mode);
    };
    api.closeChannel = [](hMixSession h, int32_t c, int32_t flags) {
        calls.push_back("close " + std::to_string(c) + " " + std::to_string(flags)), SoundMixCloseChannel(h, c, flags);
    };
    return api;
}

using V = std::vector<std::string>;
V take() { return std::exchange(calls, {}); }

class Component : public MixerTest {
protected:
    void SetUp() override {
        MixerTest::SetUp();
        calls.clear();
        initGivesNone = false;
    }
};

TEST_F(Component, ChannelsSwitchBitByBitOrAllAtOnce) {
    TSoundMix mix(recorded());
    EXPECT_EQ(take(), V{"init 10 0"});  // SOUNDMIX.INI alone decides the format
    const std::pair<uint8_t, V> steps[] = {
        {15, {"open 0 0", "open 1 0", "open 2 0", "open 3 0"}},
        {255, {"open 0 1"}},
        {254, {"close 0 0"}},
        {15, {"open 0 0", "close 4 0", "close 5 0", "close 6 0", "close 7 0"}},
        {15, {}},
        {0, {"close 0 1"}},
    };
    for (const auto& [value, expected] : steps) {
        mix.setChannels(value);
        EXPECT_EQ(take(), expected) << int(value);
        EXPECT_EQ(mix.Channels(), value);
        EXPECT_EQ(view::openChannelCount(mix.session()), __builtin_popcount(value));
    }
    SoundMixOpenChannel(mix.session(), 2, MIX_OPEN_ONE);  // behind the component's back
    EXPECT_EQ(errorOf([&] { mix.setChannels(0b0101); }), "The channel has already been opened");
    EXPECT_EQ(take(), (V{"open 0 0", "open 2 0"}));
    EXPECT_EQ(mix.Channels(), 0b0001);  // the bits already switched stay switched
}

TEST_F(Component, ActivatedAndItsLife) {
    {
        TSoundMix mix(recorded());
        mix.setActivated(false);
        wave.refuseOpen(MMSYSERR_ALLOCATED);
        EXPECT_EQ(errorOf([&] { mix.setActivated(true); }), "Failed to open waveform output device #4");
        EXPECT_FALSE(mix.Activated());
        EXPECT_EQ(take(), (V{"init 10 0", "activate"}));
    }
    EXPECT_EQ(take(), V{"closeSession"});
    wave.refuseOpen(0);
    {
        TSoundMix mix(recorded());
        mix.setActivated(true);
        mix.setActivated(true);
        mix.setChannels(15);
        EXPECT_TRUE(wave.isOpen());
        take();
    }
    EXPECT_EQ(take(), (V{"close 0 1", "deactivate", "closeSession"}));
    EXPECT_FALSE(wave.isOpen());
    EXPECT_EQ(view::sessionHandle(), 0u);
    initGivesNone = true;
    EXPECT_EQ(errorOf([] { TSoundMix mix(recorded()); }), "Initialization failed (SoundMixInit)");
    SoundMixCloseSession(view::sessionHandle());
    wave.setDevices({});
    EXPECT_EQ(errorOf([] { TSoundMix mix; }), "No wave output devices available");
}

TEST_F(Component, PlaysWhatItLoaded) {
    TSoundMix mix;
    mix.setActivated(true);
    mix.setChannels(15);
    const Bytes a = ramp(9000, 11), image = pcmWave(1, 11025, 8, a);
    dir.write("a.wav", std::string(image.begin(), image.end()));
    const std::string path = dir.path() + "a.wav";
    const hMixWave w = mix.OpenWave(path.c_str());
    mix.Play(1, w, notify, 0, 0);
    mix.Play(1, w, notify, 0, 1);  // behind the first, twice
    EXPECT_EQ(upTo(hear(), 27000), a + a + a);
    EXPECT_EQ(notices, (Notices{{1, w}, {1, w}}));
    mix.FreeWave(w);
    EXPECT_EQ(errorOf([&] { mix.FreeWave(w); }), "The given pointer was not valid");
    wave.refuseFormat(true);
    EXPECT_EQ(errorOf([&] { mix.OpenWave(path.c_str()); }), "The waveform device can\xB4t play this format");
}

// PlayOnce frees the wave at its end notice unless the caller holds it then;
// Release frees at once, or at the notice while it is still to be heard.
TEST_F(Component, PlayOnceFreesTheWaveWhenHeardUnlessHeld) {
    {
        TSoundMix mix;
        mix.setActivated(true);
        mix.setChannels(15);
        h = mix.session();
        const hMixWave once = load(ramp(700)), held = load(ramp(700)), letGo = load(ramp(700)), kept = load(ramp(700));
        mix.PlayOnce(1, once);
        mix.Hold(held);
        mix.PlayOnce(1, held);
        mix.Hold(letGo);
        mix.PlayOnce(1, letGo);
        mix.Release(letGo);
        EXPECT_NE(SoundMixWaveInfo(letGo), nullptr);  // still to be heard
        hear();
        EXPECT_TRUE(notices.empty());  // the component's own window had them
        EXPECT_EQ(SoundMixWaveInfo(once), nullptr);
        EXPECT_EQ(SoundMixWaveInfo(letGo), nullptr);
        EXPECT_NE(SoundMixWaveInfo(held), nullptr);
        mix.Release(held);
        EXPECT_EQ(SoundMixWaveInfo(held), nullptr);
        mix.Hold(kept);
        mix.PlayOnce(1, kept);  // never heard: goes with the component
    }
    EXPECT_EQ(view::liveWaveCount(), 0u);
}

}  // namespace

// TSoundMix, the component the pet plays through: the mixer calls its
// properties and its life make, and play once, free when heard.
#include "mixer/sound_mix_component.h"
#include "mixer_test.h"

namespace {

using V = std::vector<std::string>;
V calls;
bool initGivesNone = false;
V take() { return std::exchange(calls, {}); }
template <class... Args>
void note(std::string call, Args... args) {
    ((call += " " + std::to_string(args)), ...);
    calls.push_back(call);
}

// The component's calls, recorded and passed on to the mixer.
SoundMixApi recorded() {
    SoundMixApi api;
    api.init = [](const MixConfig* c) {
        note("init", c->size, c->flags);
        const hMixSession h = SoundMixInit(c);
        return initGivesNone ? 0 : h;
    };
    api.closeSession = [](hMixSession h) { note("closeSession"), SoundMixCloseSession(h); };
    api.activate = [](hMixSession h, bool on) { note(on ? "activate" : "deactivate"), SoundMixActivate(h, on); };
    api.openChannel = [](hMixSession h, int32_t c, int32_t m) { note("open", c, m), SoundMixOpenChannel(h, c, m); };
    api.closeChannel = [](hMixSession h, int32_t c, int32_t f) { note("close", c, f), SoundMixCloseChannel(h, c, f); };
    return api;
}

struct Component : MixerTest {
    void SetUp() override { MixerTest::SetUp(), calls.clear(), initGivesNone = false; }
};

TEST_F(Component, ChannelsSwitchBitByBitOrAllAtOnce) {
    TSoundMix mix(recorded());
    EXPECT_EQ(take(), V{"init 10 0"});  // SOUNDMIX.INI alone decides the format
    const std::pair<uint8_t, V> steps[] = {
        {15, {"open 0 0", "open 1 0", "open 2 0", "open 3 0"}}, {255, {"open 0 1"}}, {254, {"close 0 0"}},
        {15, {"open 0 0", "close 4 0", "close 5 0", "close 6 0", "close 7 0"}}, {15, {}}, {0, {"close 0 1"}}};
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

// Activated calls on a change only and keeps its value when refused; the
// component's end gives back channels, device and session, in that order.
TEST_F(Component, ActivatedAndItsLife) {
    {
        TSoundMix mix(recorded());
        mix.setActivated(true);
        mix.setActivated(true);
        mix.setChannels(15);
        EXPECT_TRUE(wave.isOpen());
        take();
    }
    EXPECT_EQ(take(), (V{"close 0 1", "deactivate", "closeSession"}));
    EXPECT_FALSE(wave.isOpen() || view::sessionHandle());
    TSoundMix mix(recorded());
    mix.setActivated(false);
    wave.refuseOpen(MMSYSERR_ALLOCATED);
    EXPECT_EQ(errorOf([&] { mix.setActivated(true); }), "Failed to open waveform output device #4");
    EXPECT_FALSE(mix.Activated());
    EXPECT_EQ(take(), (V{"init 10 0", "activate"}));
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
        EXPECT_FALSE(SoundMixWaveInfo(once) || SoundMixWaveInfo(letGo));
        EXPECT_NE(SoundMixWaveInfo(held), nullptr);
        mix.Release(held);
        EXPECT_EQ(SoundMixWaveInfo(held), nullptr);
        mix.Hold(kept);
        mix.PlayOnce(1, kept);  // never heard: goes with the component
    }
    EXPECT_EQ(view::liveWaveCount(), 0u);
}

}  // namespace

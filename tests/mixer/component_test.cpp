// TSoundMix, the component the pet plays through: its properties, its life, play once and free when heard.
#include "mixer/sound_mix_component.h"
#include "mixer_test.h"

namespace {

using Component = MixerTest;

// SOUNDMIX.INI alone decides the format; the channels open are the bits of Channels, and
// those switched before a refusal stay switched; Activated keeps its value when refused;
// the component's end gives back the device and the session.
TEST_F(Component, PropertiesAndLife) {
    ini("[default]\nSamplesPerSec=22\n");
    {
        TSoundMix mix;
        EXPECT_EQ(view::settings(mix.session())->format.samplesPerSec, 22050u);
        for (int value : {15, 255, 254, 15, 15, 0}) {
            mix.setChannels(uint8_t(value));
            EXPECT_EQ(mix.Channels(), value);
            EXPECT_EQ(view::openChannelCount(mix.session()), __builtin_popcount(unsigned(value)));
        }
        SoundMixOpenChannel(mix.session(), 2, MIX_OPEN_ONE);  // behind the component's back
        EXPECT_EQ(errorOf([&] { mix.setChannels(0b0101); }), "The channel has already been opened");
        EXPECT_EQ(mix.Channels(), 0b0001);
        EXPECT_TRUE(view::channelOpen(mix.session(), 0) && view::channelOpen(mix.session(), 2));
        mix.setActivated(true);
        EXPECT_TRUE(wave.isOpen() && mix.Activated());
    }
    EXPECT_FALSE(wave.isOpen() || view::sessionHandle());
    TSoundMix mix;
    wave.refuseOpen(MMSYSERR_ALLOCATED);
    EXPECT_EQ(errorOf([&] { mix.setActivated(true); }), "Failed to open waveform output device #4");
    EXPECT_FALSE(mix.Activated());
}

// PlayOnce frees the wave at its end notice unless the caller holds it then; a wave played twice is
// heard twice and freed after its last play. Release frees at once, or at the notice while it is still to be heard.
TEST_F(Component, PlayOnceFreesTheWaveWhenHeardUnlessHeld) {
    ini("[default]\nWaveBlockLen=512\n");  // blocks far shorter than a sound: its end is heard before the next is mixed
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
        const Bytes sound = ramp(5000, 3);
        const hMixWave twice = load(sound);
        mix.PlayOnce(1, twice);
        mix.PlayOnce(1, twice);
        // Whole, twice (the silence between them, a block at most, left out).
        const auto sounding = [](Bytes v) { return std::erase(v, uint8_t(128)), v; };
        Bytes both = sound;
        both.insert(both.end(), sound.begin(), sound.end());
        EXPECT_EQ(sounding(hear()), sounding(both));
        EXPECT_EQ(SoundMixWaveInfo(twice), nullptr);
        mix.Release(held);
        EXPECT_EQ(SoundMixWaveInfo(held), nullptr);
        mix.Hold(kept);
        mix.PlayOnce(1, kept);  // never heard: goes with the component
    }
    EXPECT_EQ(view::liveWaveCount(), 0u);
}

}  // namespace

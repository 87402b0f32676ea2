// TSoundMix: which mixer calls its properties and its life make, in order.
#include <string>
#include <vector>

#include "mixer/sound_mix_component.h"
#include "tests/sound/sound_fixture.h"

namespace {

std::vector<std::string> calls;
bool initGivesNone = false;

hMixSession init(const MixConfig* c) {
    calls.push_back("init " + std::to_string(c ? c->size : 0) + " " + std::to_string(c ? c->flags : 99) + " " +
                    std::to_string(c ? c->channels : 99) + " " + std::to_string(c ? c->rate : 99));
    const hMixSession h = SoundMixInit(c);
    return initGivesNone ? 0 : h;
}
void closeSession(hMixSession h) {
    calls.push_back("closeSession");
    SoundMixCloseSession(h);
}
void activate(hMixSession h, bool on) {
    calls.push_back(on ? "activate 1" : "activate 0");
    SoundMixActivate(h, on);
}
void openChannel(hMixSession h, int32_t c, int32_t mode) {
    calls.push_back("open " + std::to_string(c) + " " + std::to_string(mode));
    SoundMixOpenChannel(h, c, mode);
}
void closeChannel(hMixSession h, int32_t c, int32_t flags) {
    calls.push_back("close " + std::to_string(c) + " " + std::to_string(flags));
    SoundMixCloseChannel(h, c, flags);
}

SoundMixApi recorded() {
    SoundMixApi api;
    api.init = init;
    api.closeSession = closeSession;
    api.activate = activate;
    api.openChannel = openChannel;
    api.closeChannel = closeChannel;
    return api;
}

class Component : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        calls.clear();
        initGivesNone = false;
        writeIni("[default]\nGoodWavePos=1\nWaveBlockLen=512\n");
    }
    std::vector<std::string> take() { return std::exchange(calls, {}); }
    using V = std::vector<std::string>;
};

TEST_F(Component, ChannelsSwitchBitByBitOrAllAtOnce) {
    TSoundMix mix(recorded());
    EXPECT_EQ(take(), (V{"init 10 0 0 0"}));
    EXPECT_EQ(mixer::view::openChannelCount(mix.session()), 0);

    mix.setChannels(15);
    EXPECT_EQ(take(), (V{"open 0 0", "open 1 0", "open 2 0", "open 3 0"}));
    mix.setChannels(255);
    EXPECT_EQ(take(), (V{"open 0 1"}));
    EXPECT_EQ(mixer::view::openChannelCount(mix.session()), 8);
    mix.setChannels(254);
    EXPECT_EQ(take(), (V{"close 0 0"}));
    mix.setChannels(15);
    EXPECT_EQ(take(), (V{"open 0 0", "close 4 0", "close 5 0", "close 6 0", "close 7 0"}));
    mix.setChannels(15);
    EXPECT_TRUE(take().empty());
    mix.setChannels(0);
    EXPECT_EQ(take(), (V{"close 0 1"}));
    EXPECT_EQ(mixer::view::openChannelCount(mix.session()), 0);
    EXPECT_EQ(mix.Channels(), 0);
}

TEST_F(Component, APartWayFailureKeepsTheBitsAlreadySwitched) {
    TSoundMix mix(recorded());
    SoundMixOpenChannel(mix.session(), 2, MIX_OPEN_ONE);  // behind the component's back
    take();
    expectError([&] { mix.setChannels(0b0101); }, "The channel has already been opened");
    EXPECT_EQ(take(), (V{"open 0 0", "open 2 0"}));
    EXPECT_EQ(mix.Channels(), 0b0001);
}

TEST_F(Component, ActivatedCallsOnlyOnAChange) {
    TSoundMix mix(recorded());
    take();
    mix.setActivated(false);
    EXPECT_TRUE(take().empty());
    mix.setActivated(true);
    mix.setActivated(true);
    EXPECT_EQ(take(), (V{"activate 1"}));
    EXPECT_TRUE(wave.isOpen());
}

TEST_F(Component, AFailedActivationKeepsTheOldValue) {
    TSoundMix mix(recorded());
    wave.refuseOpen(MMSYSERR_ALLOCATED);
    expectError([&] { mix.setActivated(true); }, "Failed to open waveform output device #4");
    EXPECT_FALSE(mix.Activated());
}

TEST_F(Component, DestructionClosesChannelsThenDeviceThenSession) {
    {
        TSoundMix mix(recorded());
        mix.setActivated(true);
        mix.setChannels(15);
        take();
    }
    EXPECT_EQ(take(), (V{"close 0 1", "activate 0", "closeSession"}));
    EXPECT_FALSE(wave.isOpen());
    EXPECT_EQ(mixer::view::sessionHandle(), 0u);
    {
        TSoundMix idle(recorded());  // nothing was switched on: only the session closes
        take();
    }
    EXPECT_EQ(take(), (V{"closeSession"}));
}

TEST_F(Component, NoSessionIsAnInitializationFailure) {
    initGivesNone = true;
    expectError([] { TSoundMix mix(recorded()); }, "Initialization failed (SoundMixInit)");
    initGivesNone = false;
    if (hMixSession h = mixer::view::sessionHandle()) SoundMixCloseSession(h);
    wave.setDevices({});
    expectError([] { TSoundMix mix(recorded()); }, "No wave output devices available");
}

TEST_F(Component, PlaysWhatItLoadedAndFreesIt) {
    TSoundMix mix;
    mix.setActivated(true);
    mix.setChannels(15);
    h = mix.session();
    const std::string path = (dir / "a.wav").string();
    const std::vector<uint8_t> a = ramp(9000, 11);  // longer than the blocks mixed ahead
    const Bytes image = pcmWave(1, 11025, 8, a);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), long(image.size()));
    const hMixWave w = mix.OpenWave(path.c_str());
    mix.Play(1, w, notify, 0, 0);
    mix.Play(1, w, notify, 0, 0);  // the second sounds right after the first
    EXPECT_EQ(upTo(hearAll(), 18000), cat({a, a}));
    EXPECT_EQ(notices.size(), 2u);
    mix.FreeWave(w);
    expectError([&] { mix.FreeWave(w); }, "The given pointer was not valid");
    expectError([&] { mix.FreeWave(0); }, "The given pointer was not valid");
    wave.refuseFormat(true);
    expectError([&] { mix.OpenWave(path.c_str()); }, "The waveform device can\xB4t play this format");
}

TEST_F(Component, PlayOnceFreesTheWaveWhenHeardUnlessItIsHeld) {
    const std::vector<uint8_t> a = ramp(700, 11);
    const Bytes image = pcmWave(1, 11025, 8, a);
    const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
    {
        TSoundMix mix;
        mix.setActivated(true);
        mix.setChannels(15);
        auto load = [&] { return SoundMixOpenWave(mix.session(), &file, 0, MIX_WAVE_MEMORY); };
        const hMixWave once = load(), held = load(), letGoEarly = load(), kept = load();

        mix.PlayOnce(1, once);
        mix.Hold(held);
        mix.PlayOnce(1, held);
        mix.Hold(letGoEarly);
        mix.PlayOnce(1, letGoEarly);
        mix.Release(letGoEarly);  // still to be heard: it stays until then
        EXPECT_NE(SoundMixWaveInfo(letGoEarly), nullptr);
        hearAll();
        DispatchPostedMessages();
        EXPECT_TRUE(notices.empty());  // the component's own window had them
        EXPECT_EQ(SoundMixWaveInfo(once), nullptr);
        EXPECT_EQ(SoundMixWaveInfo(letGoEarly), nullptr);
        EXPECT_NE(SoundMixWaveInfo(held), nullptr);
        mix.Release(held);
        EXPECT_EQ(SoundMixWaveInfo(held), nullptr);

        mix.Hold(kept);
        mix.PlayOnce(1, kept);  // never heard: goes with the component
        EXPECT_NE(SoundMixWaveInfo(kept), nullptr);
    }
    EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
    EXPECT_EQ(mixer::view::sessionHandle(), 0u);
}

}  // namespace

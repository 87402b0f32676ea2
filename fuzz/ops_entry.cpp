// Any bytes as mixer calls on the virtual device (settings, channels, waves, plays, device progress, refusals,
// stray messages, the clock); after each: positions finite, none heard past the mix, no pool entry lost.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <utility>

#include "fuzz/entries.h"
#include "mixer/views.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/wave_image.h"

namespace {

namespace view = mixer::view;

[[noreturn]] void broken(const char* what, long long a = 0, long long b = 0) { fuzzBroken("ops", what, a, b); }

uint32_t gClock = 0;

void check(hMixSession s) {
    constexpr view::Position kFar = view::Position(1) << 40;  // years of sound at any rate
    for (view::Position p : {view::mixPosition(s), view::clockAnchor(s), view::deviceOffset(s)})
        if (p > kFar || p < -kFar) broken("a position ran away", p);
    if (view::activated(s) && view::deviceOpen(s) && view::heardPosition(s) > view::mixPosition(s))
        broken("the device played past what was mixed", view::heardPosition(s), view::mixPosition(s));
    int held = int(view::pendingPlays(s).size());
    for (int c = 0; c < view::kChannelCount; ++c)
        for (const view::Play& e : view::channelPlays(s, c)) {
            ++held;
            const view::Position most = view::Position(e.loops + 1) * e.length;
            if (e.loops != 0xFFFF && e.start != view::kNever && e.end - e.start > most)
                broken("a finite play runs past its passes", e.end - e.start, most);
        }
    // Every entry is free, pending or queued.
    if (view::poolFreeCount() + held != view::kPoolSize) broken("pool entries lost", view::poolFreeCount(), held);
}

}  // namespace

int FeedMixerOps(const uint8_t* data, size_t size) {
    static VirtualWaveOut wave;
    static const VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    wave.setDevices({{"Virtual Wave Out", 2, 0}});
    wave.refuseWrite(-1, 0);
    SetMilliClockSource([] { return gClock; });
    gClock = 1000;
    size_t at = 0;
    auto byte = [&] { return at < size ? data[at++] : uint8_t(0); };  // zeros once the input runs out
    auto word = [&] { return uint16_t(byte() | byte() << 8); };
    const uint8_t setup = byte();
    char dir[] = "/tmp/piko-ops-fuzz-XXXXXX";  // a fresh folder for every input: the fuzzer ends by _exit
    SetProfileDirectory(mkdtemp(dir) ? dir : "/nonexistent");
    std::ofstream(std::string(dir) + "/SOUNDMIX.INI")
        << "[default]\nRemix=" << (setup & 1 ? 2 : 1) << "\nGoodWavePos=" << (setup >> 1 & 1)
        << "\nWaveBlocks=" << byte() % 8 << "\nWaveBlockLen=" << word() % 5000 << "\n";
    const MixConfig config{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, uint16_t(setup >> 2 & 1 ? 2 : 1),
                           uint16_t(setup >> 3 & 1 ? 22 : setup >> 4 & 1 ? 44 : 11)};
    const hMixSession h = SoundMixInit(&config);
    hMixWave waves[6] = {};
    int through = 0;  // steps not refused
    // The input's steps, then blocks completed and messages delivered by turns till all is heard (or 128).
    for (int steps = 0; steps < 528; ++steps) {
        const bool input = at < size && steps < 400;
        if (!input && wave.queued() == 0) break;
        const uint8_t op = input ? byte() : uint8_t(steps % 2 ? 9 : 11), a = input ? byte() : 2;
        hMixWave& w = waves[a % 6];
        try {
            switch (op % 13) {
            case 0: SoundMixActivate(h, !(a & 1)); break;
            case 1: SoundMixOpenChannel(h, int8_t(byte()) % 10, a % 4 - (a > 250)); break;
            case 2: SoundMixCloseChannel(h, int8_t(a) % 9, byte() % 4); break;
            case 3: SoundMixFlushChannel(h, int8_t(a) % 9, byte() % 4); break;
            case 4: {  // a new wave of any format and length
                if (w) SoundMixFreeWave(h, std::exchange(w, 0));
                const uint8_t f = byte();
                const uint16_t channels = f & 1 ? 2 : 1, bits = f & 8 ? 16 : 8;
                const size_t length = size_t(word() % 3000 + 1) * channels * bits / 8;
                const uint32_t rate = std::array<uint32_t, 4>{11025, 22050, 44100, 8000}[f >> 1 & 3];
                const Bytes image = pcmWave(channels, rate, bits, Bytes(length, byte()));
                const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
                w = SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY);
                break;
            }
            case 5: SoundMixFreeWave(h, std::exchange(w, 0)); break;  // none at all: refused
            case 6: case 7: {  // loops mostly none or a few, now and then endless or any
                const uint8_t b = byte(), l = byte();
                const uint16_t loops = l < 200 ? std::array<uint16_t, 6>{0, 0, 1, 2, 0xFFFF, 7}[l % 6] : l;
                MixPlayParams p{24, h, int32_t(b % 9), w, 0, uint32_t(a >> 3 & 0xF), loops};
                SoundMixPlay(&p);
                break;
            }
            case 8: wave.play(uint64_t(a) * 16); break;
            case 9: wave.complete(a % 4); break;
            case 10: wave.refuseWrite(a < 128 ? a % 4 : -1, 11); break;
            case 11:  // a stray block-done message, or the messages due
                if (a & 1) PostWindowMessage(wave.callbackWindow(), MM_WOM_DONE, 0, 0);
                DispatchPostedMessages();
                break;
            case 12: gClock += uint32_t(a) * (a & 0x80 ? 97 : 3); break;
            }
            ++through;
        } catch (const ESoundMixError&) {  // refused: the session must still hold
        }
        check(h);
    }
    for (hMixWave w : waves)
        if (w) SoundMixFreeWave(h, w);
    SoundMixCloseSession(h);
    DispatchPostedMessages();
    if (view::liveWaveCount() != 0 || view::poolFreeCount() != view::kPoolSize || wave.isOpen())
        broken("the closed session left waves, entries or the device", long(view::liveWaveCount()));
    std::filesystem::remove_all(dir);
    return through;
}

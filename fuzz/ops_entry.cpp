// Any bytes as mixer calls on the virtual device (settings, channels, waves, plays of every flag and loop
// count, device progress, refused writes, stray messages, the clock). After every step: positions stay
// finite, the device never plays past what was mixed, a finite play ends within its passes, no pool entry
// is lost; at the end the session closes clean.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "fuzz/entries.h"
#include "mixer/views.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/wave_image.h"

namespace {

namespace view = mixer::view;

[[noreturn]] void broken(const char* what, long long a = 0, long long b = 0) { fuzzBroken("mixer operations", what, a, b); }

uint32_t gClock = 0;
intptr_t ignore(hMixWindow w, uint32_t m, uintptr_t wp, intptr_t lp) { return DefaultWindowProc(w, m, wp, lp); }

// What stays for the whole process: the device, the profile folder and a notice window.
struct Stage {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    std::string dir = std::filesystem::temp_directory_path() / ("piko-ops-" + std::to_string(::getpid()));
    hMixWindow notify = (RegisterWindowClass("OpsNotices", &ignore), CreateCallbackWindow("OpsNotices"));
    Stage() {
        std::filesystem::create_directories(dir), SetProfileDirectory(dir);
        SetMilliClockSource([] { return gClock; });
        wave.keepWritten(false), wave.setDevices({{"Virtual Wave Out", 2, 0}});
    }
    ~Stage() { std::filesystem::remove_all(dir); }  // not run when the fuzzer ends by _exit: one folder a run
};

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
            if (e.end < e.start) broken("a play ends before it starts", e.start, e.end);
            const view::Position most = view::Position(e.loops + 1) * e.length;
            if (e.loops != 0xFFFF && e.start != view::kNever && e.end - e.start > most)
                broken("a finite play runs past its passes", e.end - e.start, most);
        }
    // Every entry is free, pending or queued.
    if (view::poolFreeCount() + held != view::kPoolSize) broken("pool entries lost", view::poolFreeCount(), held);
}

}  // namespace

int FeedMixerOps(const uint8_t* data, size_t size) {
    static Stage st;
    size_t at = 0;
    auto byte = [&] { return at < size ? data[at++] : uint8_t(0); };  // zeros once the input runs out
    auto word = [&] { return uint16_t(byte() | byte() << 8); };
    const uint8_t setup = byte();
    std::ofstream(st.dir + "/SOUNDMIX.INI", std::ios::trunc)
        << "[default]\nRemix=" << (setup & 1 ? 2 : 1) << "\nGoodWavePos=" << (setup >> 1 & 1)
        << "\nWaveBlocks=" << byte() % 8 << "\nWaveBlockLen=" << word() % 5000 << "\n";
    const MixConfig config{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, uint16_t(setup >> 2 & 1 ? 2 : 1),
                           uint16_t(setup >> 3 & 1 ? 22 : setup >> 4 & 1 ? 44 : 11)};
    gClock = 1000, st.wave.refuseWrite(-1, 0);
    const hMixSession h = SoundMixInit(&config);
    hMixWave waves[6] = {};
    int heard = 0;
    for (int steps = 0; at < size && steps < 400; ++steps) {
        const uint8_t op = byte(), a = byte();
        hMixWave& w = waves[a % 6];
        try {
            switch (op % 13) {
            case 0: SoundMixActivate(h, !(a & 1)); break;
            case 1: SoundMixOpenChannel(h, int8_t(byte()) % 10, a % 4 - (a > 250)); break;
            case 2: SoundMixCloseChannel(h, int8_t(a) % 9, byte() % 4); break;
            case 3: SoundMixFlushChannel(h, int8_t(a) % 9, byte() % 4); break;
            case 4: {
                if (w) SoundMixFreeWave(h, w), w = 0;
                const uint8_t f = byte();
                const uint16_t channels = f & 1 ? 2 : 1, bits = f & 8 ? 16 : 8;
                Bytes samples(size_t(word() % 3000 + 1) * channels * bits / 8);
                const uint8_t step = byte() | 1;
                for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * step);
                const Bytes image = pcmWave(channels, std::array<uint32_t, 4>{11025, 22050, 44100, 8000}[f >> 1 & 3], bits, samples);
                const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
                w = SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY);
                break;
            }
            case 5: if (w) SoundMixFreeWave(h, w), w = 0; break;
            case 6: case 7: {  // loops mostly none or a few, now and then endless or any
                const uint8_t b = byte(), l = byte();
                const uint16_t loops = l < 200 ? std::array<uint16_t, 6>{0, 0, 1, 2, 0xFFFF, 7}[l % 6] : l;
                MixPlayParams p{24, h, int32_t(b % 9), w, b & 0x80 ? st.notify : 0, uint32_t(a >> 3 & 0xF), loops};
                SoundMixPlay(&p);
                break;
            }
            case 8: st.wave.play(uint64_t(a) * 16); break;
            case 9: heard += int(st.wave.queued()), st.wave.complete(a % 4), heard -= int(st.wave.queued()); break;
            case 10: st.wave.refuseWrite(a < 128 ? a % 4 : -1, 11); break;
            case 11:  // a stray block-done message, or the messages due
                if (a & 1) PostWindowMessage(st.wave.callbackWindow(), MM_WOM_DONE, 0, 0);
                DispatchPostedMessages();
                break;
            case 12: gClock += uint32_t(a) * (a & 0x80 ? 97 : 3); break;
            }
        } catch (const ESoundMixError&) {  // refused: the session must still hold
        }
        check(h);
    }
    // Heard out to the end, or as far as endless plays allow.
    for (int i = 0; i < 64 && st.wave.queued() > 0; ++i, check(h)) {
        st.wave.complete(1);
        try { DispatchPostedMessages(); } catch (const ESoundMixError&) {}
    }
    for (hMixWave w : waves) if (w) SoundMixFreeWave(h, w);
    SoundMixCloseSession(h), DispatchPostedMessages();
    if (view::liveWaveCount() != 0 || view::poolFreeCount() != view::kPoolSize || st.wave.isOpen())
        broken("the closed session left waves, entries or the device", long(view::liveWaveCount()));
    return heard;
}

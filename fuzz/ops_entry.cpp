#include "fuzz/ops_entry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mixer/views.h"
#include "platform/callback_window.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

namespace {

constexpr int kWaveSlots = 6;

[[noreturn]] void broken(const char* what, long long a = 0, long long b = 0) {
    std::fprintf(stderr, "mixer operations: %s (%lld, %lld)\n", what, a, b);
    std::abort();
}

// The input, read a byte or a little-endian word at a time; zeros once it runs out.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t word() { return uint16_t(byte() | byte() << 8); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

uint32_t gClock = 0;
uint32_t fuzzClock() { return gClock; }

intptr_t ignoreNotice(hMixWindow w, uint32_t m, uintptr_t wp, intptr_t lp) { return DefaultWindowProc(w, m, wp, lp); }

// What stays for the whole process: the device, the profile folder and a notice window.
struct Stage {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    std::string dir;
    hMixWindow notify = 0;

    Stage() {
        char tmpl[] = "/tmp/piko-ops-XXXXXX";
        if (!mkdtemp(tmpl)) broken("no profile folder");
        dir = tmpl;
        SetProfileDirectory(dir);
        SetMilliClockSource(&fuzzClock);
        wave.keepWritten(false);
        wave.setDevices({{"Virtual Wave Out", 2, 0}});
        RegisterWindowClass("OpsNotices", &ignoreNotice);
        notify = CreateCallbackWindow("OpsNotices");
    }
    ~Stage() { std::filesystem::remove_all(dir); }
};

Stage& stage() {
    static Stage s;
    return s;
}

// A PCM memory image of `frames` frames in the given format, samples from the input.
std::vector<uint8_t> waveImage(Input& in, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t frames) {
    const uint32_t align = channels * bits / 8, bytes = frames * align;
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF");
    put(36 + bytes + (bytes & 1), 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2), put(channels, 2), put(rate, 4), put(rate * align, 4), put(align, 2), put(bits, 2);
    tag("data");
    put(bytes, 4);
    const uint8_t step = in.byte() | 1;
    for (uint32_t i = 0; i < bytes; ++i) out.push_back(uint8_t(i * step));
    if (bytes & 1) out.push_back(0);
    return out;
}

namespace view = mixer::view;

int queuedCount(hMixSession s) {
    int n = 0;
    for (int c = 0; c < view::kChannelCount; ++c) n += int(view::channelPlays(s, c).size());
    return n;
}

int pendingCount(hMixSession s) { return int(view::pendingPlays(s).size()); }

void check(hMixSession s) {
    constexpr view::Position kFar = view::Position(1) << 40;  // years of sound at any rate
    for (view::Position p : {view::mixPosition(s), view::clockAnchor(s), view::deviceOffset(s)})
        if (p == view::kNever || p > kFar || p < -kFar) broken("a position ran away", p);
    if (view::activated(s) && view::deviceOpen(s) && view::heardPosition(s) > view::mixPosition(s))
        broken("the device played past what was mixed", view::heardPosition(s), view::mixPosition(s));
    for (int c = 0; c < view::kChannelCount; ++c)
        for (const view::Play& e : view::channelPlays(s, c)) {
            if (e.end < e.start) broken("a play ends before it starts", e.start, e.end);
            if (e.loops == 0xFFFF || e.start == view::kNever) continue;
            const view::Position most = view::Position(e.loops + 1) * e.length;
            if (e.end == view::kNever || e.end - e.start > most)
                broken("a finite play runs past its passes", e.end - e.start, most);
        }
    // Every entry is free, pending or queued: none is lost on any path.
    if (view::poolFreeCount() + pendingCount(s) + queuedCount(s) != view::kPoolSize)
        broken("pool entries lost", view::poolFreeCount(), pendingCount(s) + queuedCount(s));
}

}  // namespace

OpsFeedResult FeedMixerOps(const uint8_t* data, size_t size) {
    Stage& st = stage();
    Input in(data, size);
    OpsFeedResult r;

    // The session's settings come first.
    const uint8_t setup = in.byte();
    {
        std::ofstream ini(st.dir + "/SOUNDMIX.INI", std::ios::trunc);
        ini << "[default]\nRemix=" << (setup & 1 ? 2 : 1) << "\nGoodWavePos=" << (setup >> 1 & 1)
            << "\nWaveBlocks=" << int(in.byte() % 8) << "\nWaveBlockLen=" << int(in.word() % 5000) << "\n";
    }
    const MixConfig config{sizeof(MixConfig), MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, uint16_t(setup >> 2 & 1 ? 2 : 1),
                           uint16_t(setup >> 3 & 1 ? 22 : setup >> 4 & 1 ? 44 : 11)};
    gClock = 1000;
    st.wave.refuseWrite(-1, 0);

    hMixSession h = 0;
    try {
        h = SoundMixInit(&config);
    } catch (const ESoundMixError&) {
        return r;
    }
    hMixWave waves[kWaveSlots] = {};

    while (in.more() && r.steps < 400) {
        ++r.steps;
        const uint8_t op = in.byte();
        const uint8_t a = in.byte();
        try {
            switch (op % 13) {
            case 0: SoundMixActivate(h, !(a & 1)); break;
            case 1: SoundMixOpenChannel(h, int8_t(in.byte()) % 10, a % 4 - (a > 250)); break;
            case 2: SoundMixCloseChannel(h, int8_t(a) % 9, in.byte() % 4); break;
            case 3: SoundMixFlushChannel(h, int8_t(a) % 9, in.byte() % 4); break;
            case 4: {
                hMixWave& w = waves[a % kWaveSlots];
                if (w) SoundMixFreeWave(h, w), w = 0;
                static const uint32_t kRates[] = {11025, 22050, 44100, 8000};
                const uint8_t f = in.byte();
                const uint32_t frames = in.word() % 3000 + 1;
                const auto image =
                    waveImage(in, uint16_t(f & 1 ? 2 : 1), kRates[f >> 1 & 3], uint16_t(f & 8 ? 16 : 8), frames);
                const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
                w = SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY);
                break;
            }
            case 5: {
                hMixWave& w = waves[a % kWaveSlots];
                if (w) SoundMixFreeWave(h, w), w = 0;
                break;
            }
            case 6:
            case 7: {
                static const uint16_t kLoops[] = {0, 0, 1, 2, 0xFFFF, 7};
                const uint8_t b = in.byte(), l = in.byte();
                MixPlayParams p{24, h, int32_t(b % 9), waves[a % kWaveSlots], b & 0x80 ? st.notify : 0,
                                uint32_t(a >> 3 & 0xF), l < 200 ? kLoops[l % 6] : uint16_t(l)};
                SoundMixPlay(&p);
                ++r.plays;
                break;
            }
            case 8: st.wave.play(uint64_t(a) * 16); break;
            case 9: {
                const size_t before = st.wave.queued();
                st.wave.complete(a % 4);
                r.blocksHeard += int(before - st.wave.queued());
                break;
            }
            case 10: st.wave.refuseWrite(a < 128 ? a % 4 : -1, 11); break;
            case 11:
                // A stray block-done message, or the messages due.
                if (a & 1) PostWindowMessage(st.wave.callbackWindow(), MM_WOM_DONE, 0, 0);
                DispatchPostedMessages();
                break;
            case 12: gClock += uint32_t(a) * (a & 0x80 ? 97 : 3); break;
            }
        } catch (const ESoundMixError&) {
            ++r.refusals;
        }
        check(h);
    }

    // Heard out to the end, or as far as endless plays allow.
    for (int i = 0; i < 64 && st.wave.queued() > 0; ++i) {
        st.wave.complete(1);
        try {
            DispatchPostedMessages();
        } catch (const ESoundMixError&) {
            ++r.refusals;
        }
        check(h);
    }
    // Silent and retired: only plays that cannot end (or start) still hold entries.
    if (queuedCount(h) == 0 && pendingCount(h) == 0 && view::poolFreeCount() != view::kPoolSize)
        broken("pool entries lost once silent", view::poolFreeCount());
    for (hMixWave w : waves)
        if (w) SoundMixFreeWave(h, w);
    SoundMixCloseSession(h);
    DispatchPostedMessages();
    if (view::liveWaveCount() != 0) broken("waves left behind", long(view::liveWaveCount()));
    return r;
}

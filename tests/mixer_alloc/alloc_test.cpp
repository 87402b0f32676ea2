// While sound plays the mixer allocates nothing: every malloc in this binary is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "mixer/views.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/wave_image.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
inline void count() {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    count();
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
    count();
    return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
    count();
    return __libc_realloc(p, n);
}
void* aligned_alloc(size_t a, size_t n) {
    count();
    return __libc_memalign(a, n);
}
void* memalign(size_t a, size_t n) {
    count();
    return __libc_memalign(a, n);
}
int posix_memalign(void** out, size_t a, size_t n) {
    count();
    *out = __libc_memalign(a, n);
    return *out ? 0 : 12;
}
void free(void* p) { __libc_free(p); }
}

namespace {

long countedDuring(void (*work)()) {
    gAllocations = 0;
    gCounting = true;
    work();
    gCounting = false;
    return gAllocations.load();
}

TEST(Allocation, CounterSeesAllocations) {
    static volatile void* sink;
    EXPECT_GE(countedDuring([] { sink = new std::vector<int>(1000); }), 1);
    delete static_cast<std::vector<int>*>(const_cast<void*>(sink));
}

TEST(Allocation, NoneWhileEightPlaysSound) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    auto dir = std::filesystem::temp_directory_path() / "mixer-alloc-test";
    std::filesystem::create_directories(dir);
    SetProfileDirectory(dir.string());  // no SOUNDMIX.INI there

    hMixSession h = SoundMixInit(nullptr);
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
    std::vector<hMixWave> waves;
    for (int c = 0; c < mixer::view::kChannelCount; ++c) {
        const std::vector<uint8_t> image = pcmWave(1, 11025, 8, std::vector<uint8_t>(size_t(700 + 333 * c), uint8_t(100 + c)));
        MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        waves.push_back(SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY));
    }
    // Deferred but the last, so all eight start together. Channel 0's sound
    // ends and is retired on the way; the rest repeat.
    for (int c = 0; c < mixer::view::kChannelCount; ++c) {
        const uint32_t flags = c + 1 < mixer::view::kChannelCount ? MIX_PLAY_DEFER : 0;
        MixPlayParams p{24, h, c, waves[size_t(c)], 0, flags, uint16_t(c == 0 ? 40 : 0xFFFF)};
        SoundMixPlay(&p);
    }
    ASSERT_EQ(wave.queued(), 3u);

    static VirtualWaveOut* device;
    device = &wave;
    long during = countedDuring([] {
        for (int i = 0; i < 5000; ++i) {
            device->complete(1);
            DispatchPostedMessages();
        }
    });
    EXPECT_EQ(during, 0);
    EXPECT_EQ(wave.position(), 5000u * 2048u);
    EXPECT_EQ(wave.queued(), 3u);
    EXPECT_TRUE(mixer::view::channelPlays(h, 0).empty());  // retired inside the loop

    for (hMixWave w : waves) SoundMixFreeWave(h, w);
    SoundMixActivate(h, false);
    SoundMixCloseSession(h);
    std::filesystem::remove_all(dir);
}

// A RIFF image of 8-bit mono 11025 Hz bytes, the session's own format.
std::vector<uint8_t> waveImage(size_t n) {
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto tag = [&out](const char* id) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(id[i]));
    };
    tag("RIFF");
    put(uint32_t(4 + 8 + 16 + 8 + n + (n & 1)), 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2), put(1, 2), put(11025, 4), put(11025, 4), put(1, 2), put(8, 2);
    tag("data");
    put(uint32_t(n), 4);
    for (size_t i = 0; i < n; ++i) out.push_back(uint8_t(60 + i % 130));
    if (n & 1) out.push_back(0);
    return out;
}

TEST(Allocation, NoneForPlaysQueuesRemixesAndNotices) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    auto dir = std::filesystem::temp_directory_path() / "mixer-alloc-play-test";
    std::filesystem::create_directories(dir);
    SetProfileDirectory(dir.string());

    static hMixSession h;
    static hMixWave shortWave, longWave;
    static hMixWindow notify;
    static VirtualWaveOut* device;
    device = &wave;
    h = SoundMixInit(nullptr);
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
    const std::vector<uint8_t> a = waveImage(1500), b = waveImage(9000);
    MixMemoryFile fa{a.data(), uint32_t(a.size()), 0}, fb{b.data(), uint32_t(b.size()), 0};
    shortWave = SoundMixOpenWave(h, &fa, 0, MIX_WAVE_MEMORY);
    longWave = SoundMixOpenWave(h, &fb, 0, MIX_WAVE_MEMORY);
    RegisterWindowClass("AllocNotices", DefaultWindowProc);
    notify = CreateCallbackWindow("AllocNotices");
    DispatchPostedMessages();  // the message queue's own first use

    long during = countedDuring([] {
        for (int i = 0; i < 2000; ++i) {
            MixPlayParams p{24, h, 1, i % 3 ? shortWave : longWave, notify, 0, 0};
            SoundMixPlay(&p);  // short ones queue behind the one before
            if (i % 7 == 0) {
                p.flags = MIX_PLAY_ANY_CHANNEL | MIX_PLAY_NOW;
                SoundMixPlay(&p);
            }
            if (i % 13 == 0) {
                p.channel = 2;
                p.flags = MIX_PLAY_REPLACE;
                SoundMixPlay(&p);
            }
            if (i % 29 == 0) SoundMixFlushChannel(h, 2, 0);
            for (int k = 0; k < 3; ++k) {
                device->complete(1);
                DispatchPostedMessages();
            }
        }
    });
    EXPECT_EQ(during, 0);

    while (wave.queued() > 0) {
        wave.complete(1);
        DispatchPostedMessages();
    }
    EXPECT_EQ(mixer::view::poolFreeCount(), mixer::view::kPoolSize);
    SoundMixFreeWave(h, shortWave);
    SoundMixFreeWave(h, longWave);
    DestroyCallbackWindow(notify);
    SoundMixCloseSession(h);
    std::filesystem::remove_all(dir);
}

}  // namespace

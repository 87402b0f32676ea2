// Allocations while sound plays. The pump runs for every block the device
// gives back, and plays, remixes and notices run between blocks: none of them
// may take the allocator's locks. Every malloc of this binary is counted
// while the mixer works; "allocations" is the count per iteration, and any at
// all fails the run. Under AddressSanitizer malloc is the sanitizer's, so
// nothing is counted there.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <vector>

#include "mixer/soundmix.h"
#include "platform/callback_window.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/wave_image.h"

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
inline void count() {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__)
#define PIKO_SANITIZED_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIKO_SANITIZED_MALLOC 1
#endif
#endif

#ifndef PIKO_SANITIZED_MALLOC
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t n) { return count(), __libc_malloc(n); }
void* calloc(size_t n, size_t m) { return count(), __libc_calloc(n, m); }
void* realloc(void* p, size_t n) { return count(), __libc_realloc(p, n); }
void* aligned_alloc(size_t a, size_t n) { return count(), __libc_memalign(a, n); }
void* memalign(size_t a, size_t n) { return count(), __libc_memalign(a, n); }
int posix_memalign(void** out, size_t a, size_t n) {
    count();
    *out = __libc_memalign(a, n);
    return *out ? 0 : 12;
}
void free(void* p) { __libc_free(p); }
}
#endif

namespace {

// A session on a virtual device that logs nothing, all eight channels open,
// and these waves loaded (8-bit mono 11025 Hz bytes, the session's format).
struct Rig {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "piko-bench-allocations";
    hMixSession h = 0;
    std::vector<hMixWave> waves;

    explicit Rig(const std::vector<size_t>& lengths) {
        wave.keepWritten(false);
        std::filesystem::create_directories(dir);
        // Positions by the device's counter: the virtual device plays far faster than the clock runs.
        std::ofstream(dir / "SOUNDMIX.INI") << "[default]\nGoodWavePos=1\n";
        SetProfileDirectory(dir.string());
        h = SoundMixInit(nullptr);
        SoundMixActivate(h, true);
        SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
        for (size_t n : lengths) {
            const Bytes image = pcmWave(1, 11025, 8, Bytes(n, uint8_t(60 + n % 130)));
            const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
            waves.push_back(SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY));
        }
        DispatchPostedMessages();  // the message queue's own first use
    }
    ~Rig() {
        for (hMixWave w : waves) SoundMixFreeWave(h, w);
        SoundMixCloseSession(h);
        std::filesystem::remove_all(dir);
    }
    void heard(int blocks) {
        for (int i = 0; i < blocks; ++i) {
            wave.complete(1);
            DispatchPostedMessages();
        }
    }
};

void report(benchmark::State& state) {
#ifdef PIKO_SANITIZED_MALLOC
    return state.SkipWithError("allocations are counted in the plain build only");
#endif
    state.counters["allocations"] = benchmark::Counter(double(gAllocations.load()), benchmark::Counter::kAvgIterations);
    if (gAllocations.load() > 0) state.SkipWithError("the mixer allocated while sound played");
}

// Eight plays sounding together; channel 0's ends and is retired on the way.
void BM_PumpAllocations(benchmark::State& state) {
    Rig rig({700, 1033, 1366, 1699, 2032, 2365, 2698, 3031});
    for (int c = 0; c < 8; ++c) {
        MixPlayParams p{24, rig.h, c, rig.waves[size_t(c)], 0, c < 7 ? MIX_PLAY_DEFER : 0u, uint16_t(c ? 0xFFFF : 40)};
        SoundMixPlay(&p);
    }
    gAllocations = 0;
    for (auto _ : state) {
        gCounting = true;
        rig.heard(1);
        gCounting = false;
    }
    report(state);
}
BENCHMARK(BM_PumpAllocations);

// Plays queued behind each other, now-plays, replacing plays, flushes, end notices.
void BM_PlayAllocations(benchmark::State& state) {
    Rig rig({1500, 9000});
    RegisterWindowClass("BenchNotices", DefaultWindowProc);
    const hMixWindow notify = CreateCallbackWindow("BenchNotices");
    gAllocations = 0;
    int i = 0;
    for (auto _ : state) {
        gCounting = true;
        MixPlayParams p{24, rig.h, 1, rig.waves[i % 3 ? 0 : 1], notify, 0, 0};
        SoundMixPlay(&p);
        if (i % 7 == 0) {
            p.flags = MIX_PLAY_ANY_CHANNEL | MIX_PLAY_NOW;
            SoundMixPlay(&p);
        }
        if (i % 13 == 0) {
            p.channel = 2;
            p.flags = MIX_PLAY_REPLACE;
            SoundMixPlay(&p);
        }
        if (i % 29 == 0) SoundMixFlushChannel(rig.h, 2, 0);
        rig.heard(3);
        gCounting = false;
        ++i;
    }
    report(state);
    DestroyCallbackWindow(notify);
}
BENCHMARK(BM_PlayAllocations);

}  // namespace

BENCHMARK_MAIN();

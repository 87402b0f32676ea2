// The mixing kernel against memcpy and against clamping after every add;
// one block taken back and mixed again with eight plays sounding.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "mixer/kernel.h"
#include "mixer/soundmix.h"
#include "platform/callback_window.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/wave_image.h"

namespace {

constexpr size_t kBlock = 4096;

struct Sources {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(8 * kBlock);
    const uint8_t* ptr[8];
    std::vector<uint8_t> dst = std::vector<uint8_t>(kBlock);
    Sources() {
        std::mt19937 rng(1);
        for (auto& b : bytes) b = uint8_t(rng());
        for (int j = 0; j < 8; ++j) ptr[j] = bytes.data() + j * kBlock;
    }
};

// What must not be done: clipping after every addition, one byte at a time.
void mixClampEachAdd(uint8_t* dst, const uint8_t* const* src, int k, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
        int v = src[0][i];
        for (int j = 1; j < k; ++j) {
            v += src[j][i] - 128;
            v = v < 0 ? 0 : v > 255 ? 255 : v;
        }
        dst[i] = uint8_t(v);
    }
}

void mixSamplesWith(benchmark::State& state, mixer::VectorLoop loop) {
    Sources s;
    int k = int(state.range(0));
    for (auto _ : state) {
        mixer::mixSamples(s.dst.data(), s.ptr, k, kBlock, loop);
        benchmark::DoNotOptimize(s.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
}

void BM_MixSamples(benchmark::State& state) { mixSamplesWith(state, mixer::VectorLoop::Widest); }
BENCHMARK(BM_MixSamples)->DenseRange(1, 8);

// The SSE2 loop that processors without AVX2 run.
void BM_MixSamplesBaseline(benchmark::State& state) { mixSamplesWith(state, mixer::VectorLoop::Baseline); }
BENCHMARK(BM_MixSamplesBaseline)->Arg(2)->Arg(8);

void BM_ClampAfterEachAdd(benchmark::State& state) {
    Sources s;
    int k = int(state.range(0));
    for (auto _ : state) {
        mixClampEachAdd(s.dst.data(), s.ptr, k, kBlock);
        benchmark::DoNotOptimize(s.dst.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClampAfterEachAdd)->Arg(8);

void BM_Memcpy(benchmark::State& state) {
    size_t n = size_t(state.range(0));
    std::vector<uint8_t> from(n, 1), to(n);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), n);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Memcpy)->Arg(kBlock)->Arg(8 * kBlock);

// A block comes back from the device and the pump mixes the next one:
// eight endless plays, 4096-byte blocks.
void BM_PumpOneBlockEightPlays(benchmark::State& state) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    SetProfileDirectory("/nonexistent");
    MixConfig rate22{sizeof(MixConfig), MIX_CONFIG_RATE, 0, 22};  // 22 kHz: 4096-byte blocks
    const hMixSession h = SoundMixInit(&rate22);
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
    std::vector<hMixWave> waves;
    for (int c = 0; c < 8; ++c) {
        const std::vector<uint8_t> image = pcmWave(1, 22050, 8, std::vector<uint8_t>(size_t(3000 + 517 * c), uint8_t(120 + c)));
        MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        waves.push_back(SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY));
        MixPlayParams p{24, h, c, waves.back(), 0, c < 7 ? MIX_PLAY_DEFER : 0, 0xFFFF};
        SoundMixPlay(&p);
    }
    for (auto _ : state) {
        wave.complete(1);
        DispatchPostedMessages();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
    for (hMixWave w : waves) SoundMixFreeWave(h, w);
    SoundMixCloseSession(h);
}
BENCHMARK(BM_PumpOneBlockEightPlays);

}  // namespace

BENCHMARK_MAIN();

// The mixing kernel against memcpy and against clamping after every add;
// FillBlock with eight plays sounding.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "mixer/mixer_internal.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

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

void BM_MixSamples(benchmark::State& state) {
    Sources s;
    int k = int(state.range(0));
    for (auto _ : state) {
        MixSamples(s.dst.data(), s.ptr, k, kBlock);
        benchmark::DoNotOptimize(s.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
}
BENCHMARK(BM_MixSamples)->DenseRange(1, 8);

// The SSE2 loop that processors without AVX2 run.
void BM_MixSamplesBaseline(benchmark::State& state) {
    MixSamplesUseWidest(false);
    BM_MixSamples(state);
    MixSamplesUseWidest(true);
}
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

void BM_FillBlockEightPlays(benchmark::State& state) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    SetProfileDirectory("/nonexistent");
    hMixSession h = SoundMixInit(nullptr);
    MixSession& s = *MixFindSession(h);
    s.blockLength = kBlock;
    std::vector<std::vector<uint8_t>> sounds;
    for (int c = 0; c < 8; ++c) sounds.emplace_back(size_t(3000 + 517 * c), uint8_t(120 + c));
    for (int c = 0; c < 8; ++c) {
        s.channelHeads[c] = MixPoolTake();
        MixPlayEntry* e = s.channelHeads[c];
        e->params.loops = MIX_LOOP_FOREVER;
        e->data = sounds[size_t(c)].data();
        e->length = int32_t(sounds[size_t(c)].size());
        e->start = 37 * c;
        e->end = MIX_NEVER;
    }
    s.openChannels = 8;
    SoundMixActivate(h, true);
    MixBlock* block = MixBlockAt(5);
    block->free = false;
    for (auto _ : state) {
        FillBlock(s, block, false);
        benchmark::DoNotOptimize(block->data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
    SoundMixCloseSession(h);
}
BENCHMARK(BM_FillBlockEightPlays);

}  // namespace

BENCHMARK_MAIN();

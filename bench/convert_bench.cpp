// Load-time conversion of 10 s of 44100 Hz 16-bit stereo into each session
// format; throughput counts bytes of the source.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "mixer/convert.h"

namespace {

std::vector<uint8_t> tenSeconds() {
    std::vector<uint8_t> v(size_t(44100) * 10 * 4);
    uint32_t x = 12345;
    for (auto& b : v) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
    return v;
}

void BM_Convert(benchmark::State& state) {
    static const std::vector<uint8_t> source = tenSeconds();
    const mixer::SampleFormat from{2, 44100, 16};
    const mixer::SampleFormat to{uint32_t(state.range(0)), uint32_t(state.range(1)), 8};
    for (auto _ : state) {
        state.PauseTiming();
        auto* buffer = static_cast<uint8_t*>(std::malloc(source.size()));
        std::memcpy(buffer, source.data(), source.size());
        int32_t length = int32_t(source.size());
        state.ResumeTiming();
        uint8_t* out = mixer::convertSamples(to, from, buffer, length);
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size()));
}

}  // namespace

BENCHMARK(BM_Convert)
    ->ArgNames({"channels", "rate"})
    ->Args({1, 11025})->Args({1, 22050})->Args({1, 44100})
    ->Args({2, 11025})->Args({2, 22050})->Args({2, 44100})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

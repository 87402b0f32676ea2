// What a play costs on the UI thread: on an idle channel, and queued behind
// a play that the blocks already mixed hold in full.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

#include "mixer/soundmix.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

namespace {

std::vector<uint8_t> waveImage(size_t n) {
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto tag = [&out](const char* id) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(id[i]));
    };
    tag("RIFF");
    put(uint32_t(36 + n + (n & 1)), 4);
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

void play(benchmark::State& state, bool queued) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    auto dir = std::filesystem::temp_directory_path() / "piko-play-bench";
    std::filesystem::create_directories(dir);
    SetProfileDirectory(dir.string());
    hMixSession h = SoundMixInit(nullptr);  // 3 blocks of 2048 bytes, 11025 Hz mono
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
    const std::vector<uint8_t> image = waveImage(1500);
    MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
    const hMixWave w = SoundMixOpenWave(h, &file, 0, MIX_WAVE_MEMORY);
    for (auto _ : state) {
        MixPlayParams p{24, h, 1, w, 0, 0, 0};
        SoundMixPlay(&p);
        if (queued) SoundMixPlay(&p);  // behind the first, which is mixed in full already
        state.PauseTiming();
        while (wave.queued() > 0) {
            wave.complete(1);
            DispatchPostedMessages();
        }
        state.ResumeTiming();
    }
    SoundMixFreeWave(h, w);
    SoundMixCloseSession(h);
    std::filesystem::remove_all(dir);
}

void BM_PlayOnIdleChannel(benchmark::State& state) { play(state, false); }
void BM_PlayThenQueuedPlay(benchmark::State& state) { play(state, true); }
BENCHMARK(BM_PlayOnIdleChannel);
BENCHMARK(BM_PlayThenQueuedPlay);

}  // namespace

BENCHMARK_MAIN();

// Sound latency: how many bytes of output the listener hears between a Play
// and the play's first byte, on the virtual device, while blocks are queued
// (a silent endless play on channel 0 keeps the ring full). Each iteration
// issues the play at another point inside the block being heard.
//
//   latency_bytes / latency_ms   mean over the iterations
//   worst_bytes / worst_ms       the longest wait seen
//
// The time of an iteration is the Play call alone (remix included).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mixer/views.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

namespace {

std::vector<uint8_t> waveImage(size_t n, uint8_t value) {
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
    out.insert(out.end(), n, value);
    if (n & 1) out.push_back(0);
    return out;
}

// The millisecond clock follows what the device has played, as a real one would.
uint64_t gHeardBytes = 0;
uint32_t gBytesPerSecond = 11025;
uint32_t deviceClock() { return uint32_t(gHeardBytes * 1000 / gBytesPerSecond); }

struct Listener {
    VirtualWaveOut& wave;

    void play(uint64_t bytes) {
        gHeardBytes += wave.play(bytes);
        DispatchPostedMessages();
    }

    // Bytes heard until the first one that is not silence.
    uint64_t untilSound() {
        uint64_t waited = 0;
        while (wave.queued() > 0) {
            const WaveHeader* h = wave.queuedHeader(0);
            for (uint32_t i = h->consumed; i < h->bufferLength; ++i)
                if (h->data[i] != 128) {
                    waited += i - h->consumed;
                    play(i - h->consumed);
                    return waited;
                }
            const uint32_t rest = h->bufferLength - h->consumed;
            waited += rest;
            play(rest);
        }
        return waited;
    }
};

void latency(benchmark::State& state, uint32_t flags, const std::string& ini) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    const auto dir = std::filesystem::temp_directory_path() / "piko-latency-bench";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / "SOUNDMIX.INI");
    if (!ini.empty()) std::ofstream(dir / "SOUNDMIX.INI") << ini;
    SetProfileDirectory(dir.string());
    gHeardBytes = 0;
    SetMilliClockSource(&deviceClock);

    const hMixSession h = SoundMixInit(nullptr);
    SoundMixActivate(h, true);
    SoundMixOpenChannel(h, 0, MIX_OPEN_ALL);
    const mixer::view::Settings s = *mixer::view::settings(h);
    gBytesPerSecond = s.format.avgBytesPerSec;
    const int32_t blockLength = s.blockLength;

    const std::vector<uint8_t> quietImage = waveImage(997, 128), soundImage = waveImage(64, 200);
    MixMemoryFile quietFile{quietImage.data(), uint32_t(quietImage.size()), 0};
    MixMemoryFile soundFile{soundImage.data(), uint32_t(soundImage.size()), 0};
    const hMixWave quiet = SoundMixOpenWave(h, &quietFile, 0, MIX_WAVE_MEMORY);
    const hMixWave sound = SoundMixOpenWave(h, &soundFile, 0, MIX_WAVE_MEMORY);
    MixPlayParams keepBusy{24, h, 0, quiet, 0, 0, 0xFFFF};
    SoundMixPlay(&keepBusy);

    Listener ear{wave};
    uint64_t total = 0, worst = 0, n = 0, queuedAtPlay = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Somewhere inside the block being heard.
        ear.play(uint64_t(n * 577 % uint64_t(blockLength)));
        queuedAtPlay += wave.queued();
        MixPlayParams p{24, h, 1, sound, 0, flags, 0};
        state.ResumeTiming();
        SoundMixPlay(&p);
        state.PauseTiming();
        const uint64_t waited = ear.untilSound();
        total += waited;
        worst = std::max(worst, waited);
        ++n;
        ear.play(64 + uint64_t(blockLength));  // the sound heard out; its play retired
        state.ResumeTiming();
    }
    const double perMs = double(gBytesPerSecond) / 1000.0;
    state.counters["latency_bytes"] = double(total) / double(n);
    state.counters["latency_ms"] = double(total) / double(n) / perMs;
    state.counters["worst_bytes"] = double(worst);
    state.counters["worst_ms"] = double(worst) / perMs;
    state.counters["blocks_queued"] = double(queuedAtPlay) / double(n);
    state.SetLabel(std::to_string(s.blocksInUse) + " x " + std::to_string(blockLength) + " at " +
                   std::to_string(s.format.samplesPerSec) + (s.format.channels == 2 ? " stereo" : " mono"));

    SoundMixFreeWave(h, quiet);
    SoundMixFreeWave(h, sound);
    SoundMixCloseSession(h);
    SetMilliClockSource(nullptr);
    std::filesystem::remove_all(dir);
}

// No SOUNDMIX.INI, flags 0 as the pet plays: behind everything already mixed.
void BM_LatencyDefault(benchmark::State& state) { latency(state, 0, ""); }
// MIX_PLAY_NOW with the immediate remix (the default "Remix"): from what is heard now.
void BM_LatencyPlayNowImmediateRemix(benchmark::State& state) { latency(state, MIX_PLAY_NOW, "[default]\nRemix=1\n"); }
// The same with the deferred remix, for comparison: behind the queued blocks again.
void BM_LatencyPlayNowDeferredRemix(benchmark::State& state) { latency(state, MIX_PLAY_NOW, "[default]\nRemix=2\n"); }
BENCHMARK(BM_LatencyDefault)->Iterations(2048);
BENCHMARK(BM_LatencyPlayNowImmediateRemix)->Iterations(2048);
BENCHMARK(BM_LatencyPlayNowDeferredRemix)->Iterations(2048);

}  // namespace

BENCHMARK_MAIN();

// Any bytes as a wave in memory, loaded into each of the six session formats: a load gives samples, or the
// loader's error, and leaves no wave behind either way.
#include <numeric>

#include "fuzz/entries.h"
#include "mixer/views.h"
#include "mixer/wave_load.h"

int FeedWaveImage(const uint8_t* data, size_t size) {
    const MixMemoryFile file{data, uint32_t(size), 0};
    int loaded = 0;
    for (int n = 0; n < 6; ++n) {
        try {
            const hMixWave h = mixer::loadWave({1 + n / 3, 11025 << (n % 3)}, &file, 0, MIX_WAVE_MEMORY);
            const MixWaveHeader& w = mixer::lookupWave(h)->header;
            // Every byte read, so the sanitizers see the buffer's true extent.
            const unsigned sum = std::accumulate(w.data, w.data + w.bufferLength, 0u);
            if (!w.data || w.bufferLength == 0) fuzzBroken("wave", "a loaded wave without samples", sum);
            mixer::releaseWave(h);
            if (mixer::lookupWave(h)) fuzzBroken("wave", "a released wave stayed");
            ++loaded;
        } catch (const ESoundMixError&) {
        }
        if (mixer::view::liveWaveCount() != 0) fuzzBroken("wave", "a wave left behind");
    }
    return loaded;
}

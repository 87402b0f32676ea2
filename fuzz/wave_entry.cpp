// Any bytes as a wave in memory, loaded into each of the six session formats: a load gives samples, or the
// loader's error, and leaves no wave behind either way.
#include "fuzz/entries.h"
#include "mixer/views.h"
#include "mixer/wave_load.h"

int FeedWaveImage(const uint8_t* data, size_t size) {
    const MixMemoryFile file{data, uint32_t(size), 0};
    int loaded = 0;
    for (int n = 0; n < 6; ++n) {
        hMixWave h = 0;
        try {
            h = mixer::loadWave({1 + n / 3, 11025 << (n % 3)}, &file, 0, MIX_WAVE_MEMORY);
        } catch (const ESoundMixError&) {
            if (mixer::view::liveWaveCount() != 0) fuzzBroken("wave", "a failed load left a wave");
            continue;
        }
        const MixWave* w = mixer::lookupWave(h);
        if (!w || !w->header.data || w->header.bufferLength == 0) fuzzBroken("wave", "a loaded wave without samples");
        // Every byte read, so the sanitizers see the buffer's true extent.
        unsigned sum = 0;
        for (uint32_t i = 0; i < w->header.bufferLength; ++i) sum += w->header.data[i];
        mixer::releaseWave(h);
        if (mixer::lookupWave(h) || mixer::view::liveWaveCount() != 0) fuzzBroken("wave", "a released wave stayed", sum);
        ++loaded;
    }
    return loaded;
}

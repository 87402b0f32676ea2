#include "fuzz/wave_entry.h"

#include <cstdio>
#include <cstdlib>

#include "mixer/views.h"
#include "mixer/wave_load.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "wave entry: %s\n", what);
    std::abort();
}

}  // namespace

int FeedWaveImage(const uint8_t* data, size_t size) {
    static const mixer::WaveTarget kTargets[] = {{1, 11025}, {1, 22050}, {1, 44100},
                                             {2, 11025}, {2, 22050}, {2, 44100}};
    int loaded = 0;
    for (const mixer::WaveTarget& target : kTargets) {
        const MixMemoryFile file{data, uint32_t(size), 0};
        hMixWave h = 0;
        try {
            h = mixer::loadWave(target, &file, 0, MIX_WAVE_MEMORY);
        } catch (const ESoundMixError&) {
            if (mixer::view::liveWaveCount() != 0) broken("a failed load left a wave behind");
            continue;
        }
        const MixWave* w = mixer::lookupWave(h);
        if (!w || !w->header.data || w->header.bufferLength == 0 || w->header.bufferLength > 0x7FFFFFFFu)
            broken("a loaded wave without samples");
        // Touch every byte so the sanitizers see the buffer's true extent.
        unsigned sum = 0;
        for (uint32_t i = 0; i < w->header.bufferLength; ++i) sum += w->header.data[i];
        if (sum == 0xFFFFFFFFu) broken("impossible sum");
        mixer::releaseWave(h);
        if (mixer::lookupWave(h) || mixer::view::liveWaveCount() != 0) broken("a released wave stayed");
        ++loaded;
    }
    return loaded;
}

// Loading waves, behind SoundMixOpenWave: the session checks come first
// (handle, the device's format query), then everything here. The loaded
// waves live in the mixer's wave table.
#pragma once
#include <cstddef>

#include "mixer/soundmix.h"

namespace mixer {

// The session's output format that every loaded wave is converted to (always 8-bit).
struct WaveTarget {
    int channels = 1;  // 1 or 2
    int rate = 11025;  // 11025, 22050 or 44100
};

// Opens the source, reads its "fmt " and "data" chunks, converts the samples
// and registers the new wave. Raises ESoundMixError; nothing stays allocated on failure.
hMixWave loadWave(const WaveTarget& target, const void* source, hMixModule instance, uint32_t flags);

// The live record behind a handle; nullptr for 0, stale or foreign handles.
MixWave* lookupWave(hMixWave wave);

// Frees the samples and the record; the handle is stale afterwards.
void releaseWave(hMixWave wave);

}  // namespace mixer

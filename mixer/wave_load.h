// Loading waves, behind SoundMixOpenWave: the session checks come first
// (handle, the device's format query), then everything here.
#pragma once
#include <cstddef>

#include "mixer/soundmix.h"

// The session's output format that every loaded wave is converted to (always 8-bit).
struct MixWaveTarget {
    int channels = 1;  // 1 or 2
    int rate = 11025;  // 11025, 22050 or 44100
};

// Opens the source, reads its "fmt " and "data" chunks, converts the samples
// and registers the new wave. Raises ESoundMixError; nothing stays allocated on failure.
hMixWave LoadMixWave(const MixWaveTarget& target, const void* source, hMixModule instance, uint32_t flags);

// The live record behind a handle; nullptr for 0, stale or foreign handles.
MixWave* LookupMixWave(hMixWave wave);

// Frees the samples and the record; the handle is stale afterwards.
void ReleaseMixWave(hMixWave wave);

// Waves loaded and not yet freed (leak checks over a long life).
size_t LiveMixWaveCount();

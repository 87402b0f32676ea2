// The one entry both the mixer-operations fuzzer and the corpus replay feed
// bytes through.
#pragma once
#include <cstddef>
#include <cstdint>

struct OpsFeedResult {
    int steps = 0;       // operations decoded
    int plays = 0;       // plays the mixer accepted
    int refusals = 0;    // operations the mixer refused with its error
    int blocksHeard = 0; // blocks the virtual device played to their end
};

// Decodes the bytes into a sequence of mixer calls on the virtual device (a
// session with any settings, activation, channels, waves from memory images,
// plays with every flag and loop count, device progress, refused writes,
// pumps, dispatches) and checks the session after every step. Aborts on a
// broken invariant:
//   - no position of the session is "never", and the device has never played
//     past what was mixed;
//   - a finite play ends within (loops + 1) x length bytes of its start;
//   - when nothing is queued anywhere, the pool holds all 100 entries.
// Reads outside a wave's samples are left to the sanitizers.
OpsFeedResult FeedMixerOps(const uint8_t* data, size_t size);

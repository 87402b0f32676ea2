// FillBlock: one output block from whatever sounds at the mix position.
//
// The block is cut into stretches at every position where a play starts,
// ends or wraps; inside a stretch the sounding sources stay the same, so all
// position arithmetic happens once per stretch and MixSamples does the bytes.
#include <algorithm>
#include <cstring>

#include "mixer/mixer_internal.h"

namespace {

constexpr uint8_t kSilence = 128;

// A play whose end is at or before pos has been heard; so has an empty one.
inline bool endedAt(const MixPlayEntry* e, MixPosition pos) { return e->end <= pos || e->length <= 0; }

}  // namespace

bool FillBlock(MixSession& s, MixBlock* block, bool write) {
    if (!block) return false;

    MixPlayEntry* active[MIX_CHANNEL_COUNT];
    int count = 0;
    MixPosition nextStart = MIX_NEVER;
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c) {
        if (!MixChannelIsOpen(s, c)) continue;
        MixPlayEntry* e = s.channelHeads[c];
        // Ended plays stay queued until RetireFinishedPlays hears them out.
        while (e && endedAt(e, s.mixPosition)) e = e->link;
        if (!e) continue;
        active[count++] = e;
        nextStart = std::min(nextStart, e->start);
    }
    if (count == 0) {
        if (write) block->free = true;
        return false;
    }

    const uint8_t* sources[MIX_CHANNEL_COUNT];
    uint8_t* dst = block->data;
    MixPosition remaining = s.blockLength;
    MixPosition pos = s.mixPosition;
    while (remaining > 0) {
        if (pos < nextStart) {
            MixPosition n = std::min(remaining, nextStart - pos);
            std::memset(dst, kSilence, static_cast<size_t>(n));
            dst += n;
            pos += n;
            remaining -= n;
            continue;
        }

        MixPosition limit = pos + remaining;
        int k = 0;
        for (int i = 0; i < count; ++i) {
            const MixPlayEntry* e = active[i];
            if (pos < e->start) {
                limit = std::min(limit, e->start);
                continue;
            }
            limit = std::min(limit, e->end);
            MixPosition offset = pos - e->start;
            if (e->params.loops != 0) {
                offset %= e->length;
                limit = std::min(limit, pos + e->length - offset);
            }
            sources[k++] = e->data + offset;
        }
        MixPosition n = limit - pos;
        MixSamples(dst, sources, k, static_cast<uint16_t>(n));
        dst += n;
        pos += n;
        remaining -= n;

        nextStart = MIX_NEVER;
        for (int i = 0; i < count;) {
            MixPlayEntry* e = active[i];
            while (e && endedAt(e, pos)) e = e->link;
            if (!e) {
                active[i] = active[--count];
                continue;
            }
            active[i] = e;
            nextStart = std::min(nextStart, e->start);
            ++i;
        }
    }

    block->start = s.mixPosition;
    s.mixPosition += s.blockLength;

    if (write) {
        MixQueueAppend(block);
        MixWriteQueuedBlock(s, block);
    }
    return true;
}

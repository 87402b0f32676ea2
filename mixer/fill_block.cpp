// fillBlock: one output block from whatever sounds at the mix position.
//
// The block is cut into stretches at every position where a play starts,
// ends or wraps; inside a stretch the sounding sources stay the same, so all
// position arithmetic happens once per stretch and mixSamples does the bytes.
#include <algorithm>
#include <cstring>

#include "mixer_internal.h"

namespace mixer {
namespace {

constexpr uint8_t kSilence = 128;

// A play whose end is at or before pos has been heard; so has an empty one.
inline bool endedAt(const PlayEntry* e, Position pos) { return e->end <= pos || e->length <= 0; }

}  // namespace

bool Mixer::fillBlock(Session& s, Block* block, AfterFill then) {
    if (!block) return false;

    PlayEntry* active[kChannelCount];
    int count = 0;
    Position nextStart = kNever;
    for (int c = 0; c < kChannelCount; ++c) {
        if (!channelIsOpen(s, c)) continue;
        PlayEntry* e = s.channelHeads[c];
        // Ended plays stay queued until retireFinishedPlays hears them out.
        while (e && endedAt(e, s.mixPosition)) e = e->link;
        if (!e) continue;
        active[count++] = e;
        nextStart = std::min(nextStart, e->start);
    }
    if (count == 0) {
        if (then == AfterFill::Write) block->free = true;
        return false;
    }

    const uint8_t* sources[kChannelCount];
    uint8_t* dst = block->data;
    Position remaining = s.blockLength;
    Position pos = s.mixPosition;
    while (remaining > 0) {
        if (pos < nextStart) {
            Position n = std::min(remaining, nextStart - pos);
            std::memset(dst, kSilence, static_cast<size_t>(n));
            dst += n;
            pos += n;
            remaining -= n;
            continue;
        }

        Position limit = pos + remaining;
        int k = 0;
        for (int i = 0; i < count; ++i) {
            const PlayEntry* e = active[i];
            if (pos < e->start) {
                limit = std::min(limit, e->start);
                continue;
            }
            limit = std::min(limit, e->end);
            Position offset = pos - e->start;
            if (e->params.loops != 0) {
                offset %= e->length;
                limit = std::min(limit, pos + e->length - offset);
            }
            sources[k++] = e->data + offset;
        }
        Position n = limit - pos;
        mixSamples(dst, sources, k, static_cast<uint16_t>(n));
        dst += n;
        pos += n;
        remaining -= n;

        nextStart = kNever;
        for (int i = 0; i < count;) {
            PlayEntry* e = active[i];
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

    if (then == AfterFill::Write) {
        queue_.append(block);
        writeQueuedBlock(s, block);
    }
    return true;
}

}  // namespace mixer

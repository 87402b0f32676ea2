// The fixed pool of play entries and the channel queues built from them.
#include "mixer_internal.h"

namespace mixer {

void Pool::reset() {
    for (int i = 0; i < kPoolSize; ++i) entries_[i].link = i + 1 < kPoolSize ? &entries_[i + 1] : nullptr;
    free_ = &entries_[0];
}

PlayEntry* Pool::take() {
    PlayEntry* e = free_;
    if (!e) return nullptr;
    free_ = e->link;
    e->link = nullptr;
    return e;
}

void Pool::giveBack(PlayEntry* entry) {
    if (!entry) return;
    entry->link = free_;
    free_ = entry;
}

int Pool::freeCount() const {
    int n = 0;
    for (const PlayEntry* e = free_; e; e = e->link) ++n;
    return n;
}

int Mixer::dropChannelPlays(Session& s, int channel) {
    if (channel < 0 || channel >= kChannelCount || !channelIsOpen(s, channel)) return 0;
    int dropped = 0;
    PlayEntry* e = s.channelHeads[channel];
    s.channelHeads[channel] = nullptr;
    while (e) {
        PlayEntry* next = e->link;
        pool_.giveBack(e);
        e = next;
        ++dropped;
    }
    return dropped;
}

void Mixer::closeAllChannels(Session& s) {
    for (int c = 0; c < kChannelCount; ++c)
        if (channelIsOpen(s, c)) {
            dropChannelPlays(s, c);
            s.channelHeads[c] = pool_.closedChannel();
            --s.openChannels;
        }
}

Position playEnd(Position start, uint16_t loops, int32_t length) {
    if (length <= 0) return start;  // nothing to hear: ended as soon as it starts
    if (loops == kLoopForever || start == kNever) return kNever;
    Position span = static_cast<Position>(loops + 1) * length;  // at most 2^16 * 2^31
    return start > kNever - span ? kNever : start + span;
}

}  // namespace mixer

// The fixed pool of play entries and the channel queues built from them.
#include "mixer/mixer_internal.h"

namespace {
MixPlayEntry gEntries[MIX_POOL_SIZE];
MixPlayEntry* gFree = nullptr;
// Only its address matters: the head of a closed channel.
MixPlayEntry gClosedMarker;
}  // namespace

MixPlayEntry* MixClosedChannel() { return &gClosedMarker; }

void MixPoolReset() {
    for (int i = 0; i < MIX_POOL_SIZE; ++i) gEntries[i].link = i + 1 < MIX_POOL_SIZE ? &gEntries[i + 1] : nullptr;
    gFree = &gEntries[0];
}

MixPlayEntry* MixPoolTake() {
    MixPlayEntry* e = gFree;
    if (!e) return nullptr;
    gFree = e->link;
    e->link = nullptr;
    return e;
}

void MixPoolGiveBack(MixPlayEntry* entry) {
    if (!entry) return;
    entry->link = gFree;
    gFree = entry;
}

int MixPoolFreeCount() {
    int n = 0;
    for (MixPlayEntry* e = gFree; e; e = e->link) ++n;
    return n;
}

int MixDropChannelPlays(MixSession& s, int channel) {
    if (channel < 0 || channel >= MIX_CHANNEL_COUNT || !MixChannelIsOpen(s, channel)) return 0;
    int dropped = 0;
    MixPlayEntry* e = s.channelHeads[channel];
    s.channelHeads[channel] = nullptr;
    while (e) {
        MixPlayEntry* next = e->link;
        MixPoolGiveBack(e);
        e = next;
        ++dropped;
    }
    return dropped;
}

void MixCloseAllChannels(MixSession& s) {
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c)
        if (MixChannelIsOpen(s, c)) {
            MixDropChannelPlays(s, c);
            s.channelHeads[c] = MixClosedChannel();
            --s.openChannels;
        }
}

MixPosition MixPlayEnd(MixPosition start, uint16_t loops, int32_t length) {
    if (length <= 0) return start;  // nothing to hear: ended as soon as it starts
    if (loops == MIX_LOOP_FOREVER || start == MIX_NEVER) return MIX_NEVER;
    MixPosition span = static_cast<MixPosition>(loops + 1) * length;  // at most 2^16 * 2^31
    return start > MIX_NEVER - span ? MIX_NEVER : start + span;
}

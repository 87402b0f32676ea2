// The read-only views of views.h.
#include "mixer/views.h"

#include "mixer_internal.h"

namespace mixer::view {

// The views repeat the mixer's sizes for their readers; they must not drift.
static_assert(kNever == mixer::kNever && kChannelCount == mixer::kChannelCount && kPoolSize == mixer::kPoolSize &&
              kBlockCount == mixer::kBlockCount && kBlockData == mixer::kBlockData);

namespace {

// Not const only because a clock position may move the clock's anchor on,
// which changes no position anyone can see.
Session* find(hMixSession session) { return theMixer().findSession(session); }

hMixSession handleOf(const Session* s) { return s && s == find(sessionHandle()) ? sessionHandle() : 0; }

Play view(const PlayEntry& e) {
    return Play{e.params.channel, e.wave, e.params.loops, e.length, e.start, e.end};
}

}  // namespace

hMixSession sessionHandle() { return theMixer().sessionHandle(); }
hMixSession currentSession() { return handleOf(theMixer().currentSession()); }

std::optional<Settings> settings(hMixSession session) {
    const Session* s = find(session);
    if (!s) return std::nullopt;
    return Settings{s->deviceId, s->name, s->format, s->blockLength, s->blocksInUse, s->goodWavePos,
                    s->remix == Remix::Deferred};
}

bool activated(hMixSession session) {
    const Session* s = find(session);
    return s && s->activated;
}

bool deviceOpen(hMixSession session) {
    const Session* s = find(session);
    return s && s->device;
}

bool deviceClaimed() { return theMixer().deviceSession() != nullptr; }

bool channelOpen(hMixSession session, int channel) {
    const Session* s = find(session);
    return s && channel >= 0 && channel < kChannelCount && theMixer().channelIsOpen(*s, channel);
}

int openChannelCount(hMixSession session) {
    const Session* s = find(session);
    return s ? s->openChannels : 0;
}

std::vector<Play> channelPlays(hMixSession session, int channel) {
    std::vector<Play> plays;
    if (!channelOpen(session, channel)) return plays;
    for (const PlayEntry* e = find(session)->channelHeads[channel]; e; e = e->link) plays.push_back(view(*e));
    return plays;
}

std::vector<Play> pendingPlays(hMixSession session) {
    std::vector<Play> plays;
    const Session* s = find(session);
    if (!s || !s->pendingTail) return plays;
    const PlayEntry* e = s->pendingTail;
    do {
        e = e->link;
        plays.push_back(view(*e));
    } while (e != s->pendingTail);
    return plays;
}

Position mixPosition(hMixSession session) {
    const Session* s = find(session);
    return s ? s->mixPosition : 0;
}

Position heardPosition(hMixSession session) {
    Session* s = find(session);
    return s ? theMixer().playPosition(*s, PositionFrom::DeviceCounter) : 0;
}

Position clockPosition(hMixSession session) {
    Session* s = find(session);
    return s ? theMixer().playPosition(*s, PositionFrom::Clock) : 0;
}

Position clockAnchor(hMixSession session) {
    const Session* s = find(session);
    return s ? s->clockAnchor : 0;
}

Position deviceOffset(hMixSession session) {
    const Session* s = find(session);
    return s ? s->deviceOffset : 0;
}

int poolFreeCount() { return theMixer().pool().freeCount(); }
int deviceQueueLength() { return theMixer().queue().length(); }

std::optional<BlockView> block(int index) {
    const Block* b = theMixer().blockAt(index);
    if (!b) return std::nullopt;
    return BlockView{b->free, b->header.bufferLength, b->start};
}

size_t liveWaveCount() { return theMixer().waves().size(); }

}  // namespace mixer::view

// Channels, plays and the two remix routines; loading and freeing waves
// through the session.
#include <algorithm>

#include "mixer_internal.h"

namespace mixer {
namespace {

const char* const kInvalidChannel = "Invalid channel number";
const char* const kChannelNotOpen = "The specified channel was not open";
const char* const kNilWave = "nil wave pointer passed to SoundMixPlay!";
const char* const kInvalidPointer = "The given pointer was not valid";

bool validChannel(int32_t c) { return c >= 0 && c < kChannelCount; }

}  // namespace

// Removes every entry of the wave from a queue, keeping the order of the rest.
void Mixer::dropWaveFromQueue(PlayEntry*& head, hMixWave wave) {
    PlayEntry** link = &head;
    while (PlayEntry* e = *link) {
        if (e->wave == wave) {
            *link = e->link;
            pool_.giveBack(e);
        } else {
            link = &e->link;
        }
    }
}

namespace {

// The pending list is circular through the newest (tail) entry.
PlayEntry* takeOldestPending(Session& s) {
    PlayEntry* tail = s.pendingTail;
    if (!tail) return nullptr;
    PlayEntry* oldest = tail->link;
    if (oldest == tail) s.pendingTail = nullptr;
    else tail->link = oldest->link;
    oldest->link = nullptr;
    return oldest;
}

void appendPending(Session& s, PlayEntry* e) {
    if (!s.pendingTail) {
        e->link = e;
    } else {
        e->link = s.pendingTail->link;
        s.pendingTail->link = e;
    }
    s.pendingTail = e;
}

}  // namespace

// Pending plays of a freed wave go back to the pool with the queued ones: a
// later play must never place a record that points into freed samples.
void Mixer::dropWaveFromPending(Session& s, hMixWave wave) {
    if (!s.pendingTail) return;
    PlayEntry* keep = nullptr;
    while (PlayEntry* e = takeOldestPending(s)) {
        if (e->wave == wave) {
            pool_.giveBack(e);
            continue;
        }
        e->link = keep;  // collected newest first, restored below
        keep = e;
    }
    PlayEntry* ordered = nullptr;
    while (keep) {
        PlayEntry* next = keep->link;
        keep->link = ordered;
        ordered = keep;
        keep = next;
    }
    while (ordered) {
        PlayEntry* next = ordered->link;
        appendPending(s, ordered);
        ordered = next;
    }
}

// The device is paused and every queued block still unwritten: writes them
// oldest first and restarts it. A refusal frees the refused block and those
// behind it (never written, they would wait for a done flag that never
// comes); the device runs again whatever happens.
void Mixer::writeQueueAndRestart(Session& s) {
    for (Block* b = queue_.head(); b;) {
        Block* next = b->link;
        try {
            writeQueuedBlock(s, b);
        } catch (const ESoundMixError&) {  // the device refused the block
            for (Block* r = next; r;) {
                Block* n = r->link;
                r->free = true;
                queue_.unlink(r);
                r = n;
            }
            s.device->restart();
            throw;
        }
        b = next;
    }
    s.device->restart();
}

void Mixer::remix(Session& s, Position p, PlayEntry* entry) {
    if (s.remix == Remix::Deferred) remixDeferred(s, entry);
    else remixImmediate(s, p);
}

// Places one accepted play on its channel; returns whether it is late: blocks
// already queued should have carried it.
bool Mixer::place(Session& s, PlayEntry* e, Position now) {
    const int c = e->params.channel;
    const bool playNow = e->params.flags & MIX_PLAY_NOW;
    bool late = false;
    PlayEntry*& head = s.channelHeads[c];
    if (e->params.flags & MIX_PLAY_REPLACE) {
        dropChannelPlays(s, c);
        head = e;
        if (!queue_.empty()) late = true;
        e->start = playNow ? now : s.mixPosition;
    } else {
        if (head) {
            PlayEntry* last = head;
            while (last->link) last = last->link;
            last->link = e;
            // Never before what is mixed already: an ordinary play leaves the
            // blocks the device holds alone.
            e->start = playNow ? last->end : std::max(s.mixPosition, last->end);
        } else {
            head = e;
            e->start = playNow ? now : s.mixPosition;
        }
        if (s.mixPosition > e->start) late = true;
    }
    e->link = nullptr;
    e->end = playEnd(e->start, e->params.loops, e->length);
    return late;
}

// ---- channels

void Mixer::openChannel(hMixSession session, int32_t n, int32_t mode) {
    Session& s = useSession(session);
    if (mode > MIX_OPEN_FIRST_N) fail("Invalid Flags");
    if (mode == MIX_OPEN_ONE && !validChannel(n)) fail(kInvalidChannel);
    if (mode == MIX_OPEN_FIRST_N && (n < 1 || n > kChannelCount)) fail("Invalid number of channels");
    auto open = [this, &s](int c) {
        if (channelIsOpen(s, c)) return;
        s.channelHeads[c] = nullptr;
        ++s.openChannels;
    };
    switch (mode) {
    case MIX_OPEN_ONE:
        if (channelIsOpen(s, n)) fail("The channel has already been opened");
        open(n);
        return;
    case MIX_OPEN_ALL:
        for (int c = kChannelCount - 1; c >= 0; --c) open(c);
        return;
    case MIX_OPEN_FIRST_N:
        for (int c = n - 1; c >= 0; --c) open(c);
        return;
    default:
        fail("Invalid flag");
    }
}

// The channels a flush or close works on, after its checks.
void Mixer::selectChannels(const Session& s, int32_t channel, int32_t flags, bool (&selected)[kChannelCount]) const {
    if (flags & MIX_CHANNELS_ALL) {
        for (bool& b : selected) b = true;
        return;
    }
    if (!validChannel(channel)) fail(kInvalidChannel);
    if (!channelIsOpen(s, channel)) fail(kChannelNotOpen);
    for (bool& b : selected) b = false;
    selected[channel] = true;
}

void Mixer::flushChannel(hMixSession session, int32_t channel, int32_t flags) {
    Session& s = useSession(session);
    bool selected[kChannelCount];
    selectChannels(s, channel, flags, selected);
    int dropped = 0;
    for (int c = 0; c < kChannelCount; ++c)
        if (selected[c] && channelIsOpen(s, c)) dropped += dropChannelPlays(s, c);
    if (dropped > 0 && !(flags & MIX_NO_REMIX) && s.activated)
        remix(s, playPosition(s, s.positionFrom()), nullptr);
}

void Mixer::closeChannel(hMixSession session, int32_t channel, int32_t flags) {
    flushChannel(session, channel, flags | MIX_NO_REMIX);
    Session& s = *current_;
    bool selected[kChannelCount];
    selectChannels(s, channel, flags, selected);
    for (int c = 0; c < kChannelCount; ++c)
        if (selected[c] && channelIsOpen(s, c)) {
            s.channelHeads[c] = pool_.closedChannel();
            --s.openChannels;
        }
}

// ---- plays

void Mixer::play(MixPlayParams* params) {
    if (!params) fail("nil parameters pointer passed to SoundMixPlay");
    Session& s = useSession(params->session);
    // A freed or foreign handle is as good as none: its samples are gone.
    const MixWave* wave = params->wave ? waves_.find(params->wave) : nullptr;
    if (!wave) fail(kNilWave);
    if (!s.activated) fail("Wave device not allocated, call SoundMixActivate(hMixSession,TRUE)");
    if (s.openChannels <= 0) fail("You must open a channel before you can play a wave");

    int c;
    if (params->flags & MIX_PLAY_ANY_CHANNEL) {
        // The search starts at the first open channel, so an open channel is always found.
        c = 0;
        while (c < kChannelCount - 1 && !channelIsOpen(s, c)) ++c;
        for (int v = 0; v < kChannelCount; ++v) {
            if (!channelIsOpen(s, v)) continue;
            if (channelIsOpen(s, c) && s.channelHeads[c] == nullptr) break;
            if (s.lastUsed[v] < s.lastUsed[c]) c = v;
        }
        params->channel = c;
    } else {
        c = params->channel;
        if (!validChannel(c)) fail(kInvalidChannel);
    }

    s.lastUsed[c] = ++s.playCounter;
    if (!channelIsOpen(s, c)) fail(kChannelNotOpen);

    PlayEntry* e = pool_.take();
    if (!e) fail("Not enough memory");
    e->params = *params;
    e->params.channel = c;
    e->wave = params->wave;
    e->length = static_cast<int32_t>(wave->header.bufferLength);
    e->data = wave->header.data;
    appendPending(s, e);

    if (params->flags & MIX_PLAY_DEFER) return;

    resetIdlePosition(s);
    const Position now = playPosition(s, s.positionFrom());

    bool late = false;
    // The remix starts from the last placed play that can start at all: one
    // queued behind an endless play starts never, and no position may become that.
    PlayEntry* from = nullptr;
    while (PlayEntry* p = takeOldestPending(s)) {
        // A deferred play whose channel was closed meanwhile has nowhere to go.
        if (!channelIsOpen(s, p->params.channel)) {
            pool_.giveBack(p);
            continue;
        }
        if (place(s, p, now)) late = true;
        if (p->start != kNever) from = p;
    }

    if (late && from) {
        remix(s, from->start, from);
        return;
    }
    refillPaused(s);
}

void Mixer::remixImmediate(Session& s, Position p) {
    s.mixPosition = p;
    queue_.reclaimAll();
    while (Block* b = takeFreeBlock(s)) {
        if (!fillBlock(s, b, AfterFill::Keep)) {
            b->free = true;
            break;
        }
        queue_.append(b);
    }
    // The device goes on with the byte at p, so p is where its counter starts
    // again. Anchoring at the old play position instead would leave every
    // later position behind the sound by the blocks thrown away: a replacing
    // play would then never be heard to its end while nothing else sounds.
    const Position m = s.mixPosition;
    if (s.device) s.device->reset();
    syncPosition(s, p);
    s.mixPosition = m;

    if (!s.device) {
        queue_.reclaimAll();
        return;
    }
    s.device->pause();
    writeQueueAndRestart(s);
}

void Mixer::remixDeferred(Session& s, PlayEntry* entry) {
    if (entry) {
        // The end moves with the start, by the same distance: worked out again
        // from the play's passes, so only an endless play keeps "never" (a
        // finite one held at never would run past its samples).
        entry->start = s.mixPosition;
        entry->end = playEnd(entry->start, entry->params.loops, entry->length);
    }
    pump();
}

// ---- waves

hMixWave Mixer::openWave(hMixSession session, const void* source, hMixModule instance, uint32_t flags) {
    Session& s = useSession(session);
    if (!deviceCanPlaySessionFormat(s)) fail("The waveform device can\xB4t play this format");
    return loadWave(s.waveTarget(), source, instance, flags);
}

void Mixer::freeWave(hMixSession session, hMixWave wave) {
    Session* s = findSession(session);
    if (!s) fail(kMsgInvalidSession);
    // Handles are never reused: a stale one finds nothing and is refused, never freed twice.
    if (!wave || !waves_.find(wave)) fail(kInvalidPointer);
    for (int c = 0; c < kChannelCount; ++c)
        if (channelIsOpen(*s, c)) dropWaveFromQueue(s->channelHeads[c], wave);
    dropWaveFromPending(*s, wave);
    waves_.release(wave);
}

}  // namespace mixer

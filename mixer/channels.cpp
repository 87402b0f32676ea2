// Channels, plays and the two remix routines; loading and freeing waves
// through the session.
#include <algorithm>

#include "mixer/mixer_internal.h"

namespace {

const char* const kInvalidChannel = "Invalid channel number";
const char* const kChannelNotOpen = "The specified channel was not open";
const char* const kNilWave = "nil wave pointer passed to SoundMixPlay!";
const char* const kInvalidPointer = "The given pointer was not valid";

bool validChannel(int32_t c) { return c >= 0 && c < MIX_CHANNEL_COUNT; }

// Removes every entry of the wave from a queue, keeping the order of the rest.
void dropWaveFromQueue(MixPlayEntry*& head, hMixWave wave) {
    MixPlayEntry** link = &head;
    while (MixPlayEntry* e = *link) {
        if (e->wave == wave) {
            *link = e->link;
            MixPoolGiveBack(e);
        } else {
            link = &e->link;
        }
    }
}

// The pending list is circular through the newest (tail) entry.
MixPlayEntry* takeOldestPending(MixSession& s) {
    MixPlayEntry* tail = s.pendingTail;
    if (!tail) return nullptr;
    MixPlayEntry* oldest = tail->link;
    if (oldest == tail) s.pendingTail = nullptr;
    else tail->link = oldest->link;
    oldest->link = nullptr;
    return oldest;
}

void appendPending(MixSession& s, MixPlayEntry* e) {
    if (!s.pendingTail) {
        e->link = e;
    } else {
        e->link = s.pendingTail->link;
        s.pendingTail->link = e;
    }
    s.pendingTail = e;
}

// Pending plays of a freed wave go back to the pool with the queued ones: a
// later play must never place a record that points into freed samples.
void dropWaveFromPending(MixSession& s, hMixWave wave) {
    if (!s.pendingTail) return;
    MixPlayEntry* keep = nullptr;
    while (MixPlayEntry* e = takeOldestPending(s)) {
        if (e->wave == wave) {
            MixPoolGiveBack(e);
            continue;
        }
        e->link = keep;  // collected newest first, restored below
        keep = e;
    }
    MixPlayEntry* ordered = nullptr;
    while (keep) {
        MixPlayEntry* next = keep->link;
        keep->link = ordered;
        ordered = keep;
        keep = next;
    }
    while (ordered) {
        MixPlayEntry* next = ordered->link;
        appendPending(s, ordered);
        ordered = next;
    }
}

// The device is paused and every queued block still unwritten: writes them
// oldest first and restarts it. A refusal frees the refused block and those
// behind it (never written, they would wait for a done flag that never
// comes); the device runs again whatever happens.
void MixWriteQueueAndRestart(MixSession& s) {
    for (MixBlock* b = MixQueueHead(); b;) {
        MixBlock* next = b->link;
        try {
            MixWriteQueuedBlock(s, b);
        } catch (...) {
            for (MixBlock* r = next; r;) {
                MixBlock* n = r->link;
                r->free = true;
                MixQueueUnlink(r);
                r = n;
            }
            s.device->restart();
            throw;
        }
        b = next;
    }
    s.device->restart();
}

void remix(MixSession& s, MixPosition p, MixPlayEntry* entry) {
    if (s.remix == MixRemix::Deferred) RemixDeferred(s, p, entry);
    else RemixImmediate(s, p, entry);
}

// Places one accepted play on its channel; returns whether it is late: blocks
// already queued should have carried it.
bool place(MixSession& s, MixPlayEntry* e, MixPosition now) {
    const int c = e->params.channel;
    const bool playNow = e->params.flags & MIX_PLAY_NOW;
    bool late = false;
    MixPlayEntry*& head = s.channelHeads[c];
    if (e->params.flags & MIX_PLAY_REPLACE) {
        MixDropChannelPlays(s, c);
        head = e;
        if (!MixQueueEmpty()) late = true;
        e->start = playNow ? now : s.mixPosition;
    } else {
        if (head) {
            MixPlayEntry* last = head;
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
    e->end = MixPlayEnd(e->start, e->params.loops, e->length);
    return late;
}

}  // namespace

// ---- channels

void SoundMixOpenChannel(hMixSession session, int32_t n, int32_t mode) {
    MixSession& s = MixUseSession(session);
    if (mode > MIX_OPEN_FIRST_N) MixFail("Invalid Flags");
    if (mode == MIX_OPEN_ONE && !validChannel(n)) MixFail(kInvalidChannel);
    if (mode == MIX_OPEN_FIRST_N && (n < 1 || n > MIX_CHANNEL_COUNT)) MixFail("Invalid number of channels");
    auto open = [&s](int c) {
        if (MixChannelIsOpen(s, c)) return;
        s.channelHeads[c] = nullptr;
        ++s.openChannels;
    };
    switch (mode) {
    case MIX_OPEN_ONE:
        if (MixChannelIsOpen(s, n)) MixFail("The channel has already been opened");
        open(n);
        return;
    case MIX_OPEN_ALL:
        for (int c = MIX_CHANNEL_COUNT - 1; c >= 0; --c) open(c);
        return;
    case MIX_OPEN_FIRST_N:
        for (int c = n - 1; c >= 0; --c) open(c);
        return;
    default:
        MixFail("Invalid flag");
    }
}

namespace {

// The channels a flush or close works on, after its checks.
void selectChannels(const MixSession& s, int32_t channel, int32_t flags, bool (&selected)[MIX_CHANNEL_COUNT]) {
    if (flags & MIX_CHANNELS_ALL) {
        for (bool& b : selected) b = true;
        return;
    }
    if (!validChannel(channel)) MixFail(kInvalidChannel);
    if (!MixChannelIsOpen(s, channel)) MixFail(kChannelNotOpen);
    for (bool& b : selected) b = false;
    selected[channel] = true;
}

}  // namespace

void SoundMixFlushChannel(hMixSession session, int32_t channel, int32_t flags) {
    MixSession& s = MixUseSession(session);
    bool selected[MIX_CHANNEL_COUNT];
    selectChannels(s, channel, flags, selected);
    int dropped = 0;
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c)
        if (selected[c] && MixChannelIsOpen(s, c)) dropped += MixDropChannelPlays(s, c);
    if (dropped > 0 && !(flags & MIX_NO_REMIX) && s.activated)
        remix(s, PlayPosition(s, s.devicePositionFlag), nullptr);
}

void SoundMixCloseChannel(hMixSession session, int32_t channel, int32_t flags) {
    SoundMixFlushChannel(session, channel, flags | MIX_NO_REMIX);
    MixSession& s = *CurrentSession;
    bool selected[MIX_CHANNEL_COUNT];
    selectChannels(s, channel, flags, selected);
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c)
        if (selected[c] && MixChannelIsOpen(s, c)) {
            s.channelHeads[c] = MixClosedChannel();
            --s.openChannels;
        }
}

// ---- plays

void SoundMixPlay(MixPlayParams* params) {
    if (!params) MixFail("nil parameters pointer passed to SoundMixPlay");
    MixSession& s = MixUseSession(params->session);
    // A freed or foreign handle is as good as none: its samples are gone.
    const MixWave* wave = params->wave ? LookupMixWave(params->wave) : nullptr;
    if (!wave) MixFail(kNilWave);
    if (!s.activated) MixFail("Wave device not allocated, call SoundMixActivate(hMixSession,TRUE)");
    if (s.openChannels <= 0) MixFail("You must open a channel before you can play a wave");

    int c;
    if (params->flags & MIX_PLAY_ANY_CHANNEL) {
        // The search starts at the first open channel, so an open channel is always found.
        c = 0;
        while (c < MIX_CHANNEL_COUNT - 1 && !MixChannelIsOpen(s, c)) ++c;
        for (int v = 0; v < MIX_CHANNEL_COUNT; ++v) {
            if (!MixChannelIsOpen(s, v)) continue;
            if (MixChannelIsOpen(s, c) && s.channelHeads[c] == nullptr) break;
            if (s.lastUsed[v] < s.lastUsed[c]) c = v;
        }
        params->channel = c;
    } else {
        c = params->channel;
        if (!validChannel(c)) MixFail(kInvalidChannel);
    }

    s.lastUsed[c] = ++s.playCounter;
    if (!MixChannelIsOpen(s, c)) MixFail(kChannelNotOpen);

    MixPlayEntry* e = MixPoolTake();
    if (!e) MixFail("Not enough memory");
    e->params = *params;
    e->params.channel = c;
    e->wave = params->wave;
    e->length = static_cast<int32_t>(wave->header.bufferLength);
    e->data = wave->header.data;
    appendPending(s, e);

    if (params->flags & MIX_PLAY_DEFER) return;

    ResetIdlePosition(s);
    const MixPosition now = PlayPosition(s, s.devicePositionFlag);

    bool late = false;
    // The remix starts from the last placed play that can start at all: one
    // queued behind an endless play starts never, and no position may become that.
    MixPlayEntry* from = nullptr;
    while (MixPlayEntry* p = takeOldestPending(s)) {
        // A deferred play whose channel was closed meanwhile has nowhere to go.
        if (!MixChannelIsOpen(s, p->params.channel)) {
            MixPoolGiveBack(p);
            continue;
        }
        if (place(s, p, now)) late = true;
        if (p->start != MIX_NEVER) from = p;
    }

    if (late && from) {
        remix(s, from->start, from);
        return;
    }
    MixRefillPaused(s);
}

void RemixImmediate(MixSession& s, MixPosition p, MixPlayEntry*) {
    s.mixPosition = p;
    MixQueueReclaimAll();
    while (MixBlock* b = TakeFreeBlock(s)) {
        if (!FillBlock(s, b, false)) {
            b->free = true;
            break;
        }
        MixQueueAppend(b);
    }
    // The device goes on with the byte at p, so p is where its counter starts
    // again. Anchoring at the old play position instead would leave every
    // later position behind the sound by the blocks thrown away: a replacing
    // play would then never be heard to its end while nothing else sounds.
    const MixPosition m = s.mixPosition;
    if (s.device) s.device->reset();
    SyncPosition(s, p);
    s.mixPosition = m;

    if (!s.device) {
        MixQueueReclaimAll();
        return;
    }
    s.device->pause();
    MixWriteQueueAndRestart(s);
}

void RemixDeferred(MixSession& s, MixPosition, MixPlayEntry* entry) {
    if (entry) {
        // The end moves with the start; only an endless play keeps "never".
        // Holding a finite play's end at never would let it run past its samples.
        const MixPosition d = s.mixPosition - entry->start;
        entry->start += d;
        if (entry->params.loops != MIX_LOOP_FOREVER) {
            MixPosition end;
            entry->end = __builtin_add_overflow(entry->end, d, &end) ? (d > 0 ? MIX_NEVER : 0) : end;
        }
        if (entry->start > entry->end) entry->end = MIX_NEVER;
    }
    SoundMixPump();
}

// ---- waves

hMixWave SoundMixOpenWave(hMixSession session, const void* source, hMixModule instance, uint32_t flags) {
    MixSession& s = MixUseSession(session);
    if (!MixDeviceCanPlaySessionFormat(s)) MixFail("The waveform device can\xB4t play this format");
    return LoadMixWave(MixSessionWaveTarget(s), source, instance, flags);
}

void SoundMixFreeWave(hMixSession session, hMixWave wave) {
    MixSession* s = MixFindSession(session);
    if (!s) MixFail(MIX_MSG_INVALID_SESSION);
    // Handles are never reused: a stale one finds nothing and is refused, never freed twice.
    if (!wave || !LookupMixWave(wave)) MixFail(kInvalidPointer);
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c)
        if (MixChannelIsOpen(*s, c)) dropWaveFromQueue(s->channelHeads[c], wave);
    dropWaveFromPending(*s, wave);
    ReleaseMixWave(wave);
}

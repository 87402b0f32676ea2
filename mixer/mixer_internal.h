// The mixer's insides, shared by its own files and by tests.
//
// Module state (one per process): the session table with CurrentSession and
// DeviceSession, the entry pool, the block ring and the device queue.
// Everything here runs on the UI thread; only the device's done flags are
// touched from the audio thread, through their atomic.
//
// Positions are 64-bit counts of output bytes (MixPosition): at 44100 Hz
// stereo they last for millions of years, so start + (loops + 1) * length and
// every shift stay exact. MIX_NEVER, the largest value, means never.
#pragma once
#include <cstdint>
#include <memory>

#include "mixer/soundmix.h"
#include "mixer/wave_load.h"
#include "platform/callback_window.h"
#include "platform/wave_out.h"

using MixPosition = int64_t;
constexpr MixPosition MIX_NEVER = INT64_MAX;

constexpr int MIX_CHANNEL_COUNT = 8;
constexpr int MIX_POOL_SIZE = 100;
constexpr int MIX_BLOCK_COUNT = 6;       // allocated per activation; blocksInUse of them carry sound
constexpr int MIX_BLOCK_DATA = 4096;     // the data area of every block, and the longest block
constexpr uint16_t MIX_SESSION_MAGIC = 0x5432;
constexpr uint16_t MIX_LOOP_FOREVER = 0xFFFF;

extern const char* const MIX_CLASS_NAME;  // "SndMix32"

// One queued play, always from the pool.
struct MixPlayEntry {
    MixPlayEntry* link = nullptr;  // channel queue, pending list or the pool's free list
    MixPlayParams params{};        // the caller's record; channel = the channel actually used
    hMixWave wave = 0;
    int32_t length = 0;            // the wave's bytes
    MixPosition start = 0;         // output position of the first byte
    MixPosition end = 0;           // first position after the play; MIX_NEVER: endless
    const uint8_t* data = nullptr; // the wave's first byte
};

enum class MixRemix { Immediate, Deferred };

struct MixSession {
    uint16_t magic = 0;
    hMixWindow window = 0;                        // while the device is open
    std::unique_ptr<WaveOutDevice> device;        // while the device is open
    bool activated = false;
    int32_t deviceId = 0;                         // -1: the default device
    char name[32] = {};                           // profile section of the device
    MixPlayEntry* channelHeads[MIX_CHANNEL_COUNT] = {};  // MixClosedChannel(), nullptr (idle) or the queue
    int32_t openChannels = 0;
    int32_t lastUsed[MIX_CHANNEL_COUNT] = {};
    int32_t playCounter = 0;
    PcmWaveFormat format{};
    int32_t blockLength = 0;                      // 512..4096, a multiple of 4
    int32_t blocksInUse = 0;                      // 2..6
    MixPosition mixPosition = 0;                  // next byte the mixer produces
    uint32_t clockBase = 0;                       // clock reading at which the play position was clockAnchor
    MixPosition clockAnchor = 0;
    uint8_t devicePositionFlag = 0;               // 1: play position from the device's byte counter
    MixPosition deviceOffset = 0;                 // mixer position minus the device's byte counter
    MixRemix remix = MixRemix::Immediate;
    MixPlayEntry* pendingTail = nullptr;          // newest of the circular pending list
    uint16_t magic2 = 0;
};

struct MixBlock {
    WaveHeader header;
    bool free = true;
    MixPosition start = 0;           // output position of the first byte, set when filled
    MixSession* session = nullptr;   // DeviceSession when taken
    MixBlock* link = nullptr;        // next in the device queue
    uint8_t data[MIX_BLOCK_DATA];
};

[[noreturn]] void MixFail(const char* message);
extern const char* const MIX_MSG_INVALID_SESSION;
extern const char* const MIX_MSG_OUT_OF_MEMORY;
extern const char* const MIX_MSG_WRITE_FAILED;

// ---- sessions
extern MixSession* CurrentSession;
extern MixSession* DeviceSession;

// Validates the handle, makes it the current session and returns it;
// fails with "Invalid Session handle".
MixSession& MixUseSession(hMixSession session);
// Validates without changing the current session; nullptr when invalid.
MixSession* MixFindSession(hMixSession session);
// The handle of the live session, 0 when there is none.
hMixSession MixSessionHandle();
// Whether the session's own device (the same id that activation opens) can play its format.
bool MixDeviceCanPlaySessionFormat(const MixSession& s);
MixWaveTarget MixSessionWaveTarget(const MixSession& s);

// ---- channels
MixPlayEntry* MixClosedChannel();  // the reserved head of a closed channel
inline bool MixChannelIsOpen(const MixSession& s, int c) { return s.channelHeads[c] != MixClosedChannel(); }
// Drops every play of an open channel back to the pool (no notices); returns how many.
int MixDropChannelPlays(MixSession& s, int channel);
// Drops every play and closes every channel.
void MixCloseAllChannels(MixSession& s);
// End position of a play: never for endless loops or a start of never; exact otherwise.
MixPosition MixPlayEnd(MixPosition start, uint16_t loops, int32_t length);

// The two ways to make a play heard before the blocks already queued (the
// session's remix choice): mix everything again from p at once, or move the
// entry behind the queued blocks.
void RemixImmediate(MixSession& s, MixPosition p, MixPlayEntry* entry);
void RemixDeferred(MixSession& s, MixPosition p, MixPlayEntry* entry);

// ---- entry pool (process-wide, 100 entries)
void MixPoolReset();
MixPlayEntry* MixPoolTake();               // nullptr when empty
void MixPoolGiveBack(MixPlayEntry* entry); // nullptr is ignored
int MixPoolFreeCount();

// ---- device, positions and pump
MixPosition PlayPosition(MixSession& s, uint8_t useDeviceCounter);
void SyncPosition(MixSession& s, MixPosition p);
void ResetKeepingPosition(MixSession& s);
void ResetIdlePosition(MixSession& s);
MixBlock* TakeFreeBlock(MixSession& s);
void RetireFinishedPlays(MixSession& s);
void SoundMixPump();
// FillBlock(TakeFreeBlock(), write) while it produces blocks.
void MixRefill(MixSession& s);
// The same, with the device paused around it when nothing was queued, so it
// starts with every initial block in place.
void MixRefillPaused(MixSession& s);
MixBlock* MixBlockAt(int index);  // nullptr while the device is closed

// The device queue: blocks written and not yet taken back, oldest first.
MixBlock* MixQueueHead();
bool MixQueueEmpty();
void MixQueueAppend(MixBlock* block);
void MixQueueUnlink(MixBlock* block);
void MixQueueReclaimAll();  // every queued block free and unlinked
// Writes a block that is already in the device queue; a refusal frees and
// unlinks it and fails with "Failed to write block to device".
void MixWriteQueuedBlock(MixSession& s, MixBlock* block);

// ---- kernel
bool FillBlock(MixSession& s, MixBlock* block, bool write);
// dst[i] := the clipped sum of the sources (128 is silence); one source is a copy.
void MixSamples(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length);
// Chooses between the widest vector loop the processor has (the default) and
// the baseline one, so tests can hold both to the reference. Returns whether
// the widest (wider than baseline) is now in use.
bool MixSamplesUseWidest(bool widest);
// The same, byte by byte without tricks: what MixSamples must agree with.
void MixSamplesReference(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length);

// The mixer's insides, for the mixer's own files only.
//
// Everything the mixer keeps hangs off one object, Mixer: the session (at
// most one), the output blocks, the device queue, the play-entry pool and the
// wave table. soundmix.h's functions are thin entries into it (api.cpp).
// Everything here runs on the UI thread; only the device's done flags are
// touched from the audio thread, through their atomic.
//
// Positions are 64-bit counts of output bytes: at 44100 Hz stereo they last
// for millions of years, so start + (loops + 1) * length and every shift stay
// exact. kNever, the largest value, means never.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "kernel.h"
#include "mixer/soundmix.h"
#include "platform/callback_window.h"
#include "platform/wave_out.h"
#include "wave_load.h"

namespace mixer {

using Position = int64_t;
constexpr Position kNever = INT64_MAX;

constexpr int kChannelCount = 8;
constexpr int kPoolSize = 100;
constexpr int kBlockCount = 6;    // the ring; blocksInUse of them carry sound
constexpr int kBlockData = 4096;  // the data area of every block, and the longest block
constexpr uint16_t kLoopForever = 0xFFFF;

extern const char* const kClassName;  // "SndMix32"
extern const char* const kMsgInvalidSession;
extern const char* const kMsgWriteFailed;
[[noreturn]] void fail(const std::string& message);  // raises ESoundMixError

// One queued play, always from the pool.
struct PlayEntry {
    PlayEntry* link = nullptr;      // channel queue, pending list or the pool's free list
    MixPlayParams params{};         // the caller's record; channel = the channel actually used
    hMixWave wave = 0;
    int32_t length = 0;             // the wave's bytes
    Position start = 0;             // output position of the first byte
    Position end = 0;               // first position after the play; kNever: endless
    const uint8_t* data = nullptr;  // the wave's first byte
};

// End position of a play: never for endless loops or a start of never; exact otherwise.
Position playEnd(Position start, uint16_t loops, int32_t length);

// The two ways to make a late play heard before the blocks already queued:
// mix everything again from its start at once, or move it behind the queued blocks.
enum class Remix { Immediate, Deferred };

// Where the play position comes from: the clock since the last sync, or the
// device's own byte counter (GoodWavePos=1, for devices whose counter is honest).
enum class PositionFrom { Clock, DeviceCounter };

// What FillBlock does with a block it filled: write it to the device, or
// leave it to the caller (a remix queues the blocks and writes them paused).
enum class AfterFill { Keep, Write };

struct Session {
    hMixWindow window = 0;                  // while the device is open
    std::unique_ptr<WaveOutDevice> device;  // while the device is open
    bool activated = false;
    int32_t deviceId = 0;  // -1: the default device
    char name[32] = {};    // profile section of the device
    // The head of each channel's queue: closedChannel (closed), nullptr (idle) or the first play.
    PlayEntry* channelHeads[kChannelCount] = {};
    int32_t openChannels = 0;
    int32_t lastUsed[kChannelCount] = {};
    int32_t playCounter = 0;
    PcmWaveFormat format{};
    int32_t blockLength = 0;  // 512..4096, a multiple of 4
    int32_t blocksInUse = 0;  // 2..6
    Position mixPosition = 0;  // next byte the mixer produces
    uint32_t clockBase = 0;    // clock reading at which the play position was clockAnchor
    Position clockAnchor = 0;
    uint8_t goodWavePos = 0;   // as the profile gave it; 1 means the device counter
    Position deviceOffset = 0; // mixer position minus the device's byte counter
    Remix remix = Remix::Immediate;
    PlayEntry* pendingTail = nullptr;  // newest of the circular pending list

    PositionFrom positionFrom() const { return goodWavePos == 1 ? PositionFrom::DeviceCounter : PositionFrom::Clock; }
    WaveTarget waveTarget() const { return WaveTarget{format.channels, static_cast<int>(format.samplesPerSec)}; }
};

struct Block {
    WaveHeader header;
    bool free = true;
    Position start = 0;      // output position of the first byte, set when filled
    Block* link = nullptr;   // next in the device queue
    uint8_t data[kBlockData];
};

// The fixed pool of play entries, linked through their own link field.
class Pool {
public:
    Pool() { reset(); }
    void reset();
    PlayEntry* take();               // nullptr when empty
    void giveBack(PlayEntry* entry); // nullptr is ignored
    int freeCount() const;
    // Only its address matters: the head of a closed channel.
    PlayEntry* closedChannel() { return &closedMarker_; }
    const PlayEntry* closedChannel() const { return &closedMarker_; }

private:
    std::array<PlayEntry, kPoolSize> entries_;
    PlayEntry* free_ = nullptr;
    PlayEntry closedMarker_;
};

// Blocks written to the device and not yet taken back, oldest first.
class DeviceQueue {
public:
    Block* head() const { return head_; }
    bool empty() const { return head_ == nullptr; }
    int length() const;
    void append(Block* block);
    void unlink(Block* block);
    void reclaimAll();  // every queued block free and unlinked

private:
    Block* head_ = nullptr;
    Block* tail_ = nullptr;
};

// Loaded waves by handle. Handles count up and are not reused while the
// counter lasts, so a freed handle stays stale.
class WaveTable {
public:
    hMixWave add(std::unique_ptr<MixWave> wave);  // raises the out-of-memory error, freeing the wave
    MixWave* find(hMixWave wave) const;             // nullptr for 0, stale or foreign handles
    void release(hMixWave wave);                    // frees the samples and the record
    size_t size() const { return waves_.size(); }

private:
    std::unordered_map<hMixWave, std::unique_ptr<MixWave>> waves_;
    hMixWave next_ = 1;
};

class Mixer {
public:
    // ---- the public interface (soundmix.h), one member each
    hMixSession init(const MixConfig* config);
    void closeSession(hMixSession session);
    void activate(hMixSession session, bool activate);
    void openChannel(hMixSession session, int32_t channel, int32_t mode);
    void closeChannel(hMixSession session, int32_t channel, int32_t flags);
    void flushChannel(hMixSession session, int32_t channel, int32_t flags);
    void play(MixPlayParams* params);
    hMixWave openWave(hMixSession session, const void* source, hMixModule instance, uint32_t flags);
    void freeWave(hMixSession session, hMixWave wave);
    const MixWave* waveInfo(hMixWave wave) const { return waves_.find(wave); }

    // Takes back the blocks the device has played, retires the plays heard to
    // their end and fills the free blocks again; what the device's messages run.
    void pump();

    // ---- for views.cpp's read-only views
    Session* findSession(hMixSession session);  // nullptr when invalid
    hMixSession sessionHandle() const { return session_ ? handle_ : 0; }
    const Session* currentSession() const { return current_; }
    const Session* deviceSession() const { return deviceSession_; }
    const Pool& pool() const { return pool_; }
    const DeviceQueue& queue() const { return queue_; }
    const Block* blockAt(int index) const;  // nullptr while the device is closed
    const WaveTable& waves() const { return waves_; }
    WaveTable& waveTable() { return waves_; }  // for the loader
    bool channelIsOpen(const Session& s, int c) const { return s.channelHeads[c] != pool_.closedChannel(); }
    // Moves the clock's anchor on when the clock is about to wrap, hence not const.
    Position playPosition(Session& s, PositionFrom from);

private:
    // Validates the handle, makes it the current session and returns it;
    // fails with "Invalid Session handle".
    Session& useSession(hMixSession session);
    bool deviceCanPlaySessionFormat(const Session& s) const;

    // session.cpp
    void discardSession();

    // channels.cpp
    int dropChannelPlays(Session& s, int channel);  // back to the pool, no notices; returns how many
    void closeAllChannels(Session& s);
    void selectChannels(const Session& s, int32_t channel, int32_t flags, bool (&selected)[kChannelCount]) const;
    void dropWaveFromQueue(PlayEntry*& head, hMixWave wave);
    void dropWaveFromPending(Session& s, hMixWave wave);
    bool place(Session& s, PlayEntry* e, Position now);
    void remix(Session& s, Position p, PlayEntry* entry);
    void remixImmediate(Session& s, Position p);
    void remixDeferred(Session& s, PlayEntry* entry);
    void writeQueueAndRestart(Session& s);

    // device.cpp
    void openDevice(Session& s);
    void closeDevice(Session& s);
    void forgetDevice(Session& s);
    void unprepareBlocks(Session& s);

    // pump.cpp: the device queue, the blocks and the two positions
    void syncPosition(Session& s, Position p);
    void resetKeepingPosition(Session& s);
    void resetIdlePosition(Session& s);
    Block* takeFreeBlock(Session& s);
    void writeQueuedBlock(Session& s, Block* block);
    void refill(Session& s);
    void refillPaused(Session& s);
    void retireFinishedPlays(Session& s);
    static intptr_t windowProc(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);

    // fill_block.cpp
    bool fillBlock(Session& s, Block* block, AfterFill then);

    // The session table: at most one live session. Handles count up and are
    // never reused, so a closed session's handle cannot match again.
    std::optional<Session> session_;
    hMixSession handle_ = 0;
    hMixSession lastHandle_ = 0;
    Session* current_ = nullptr;        // the session the last call named
    Session* deviceSession_ = nullptr;  // the session holding the device
    std::array<Block, kBlockCount> blocks_;  // in use while deviceSession_ has its device open
    DeviceQueue queue_;
    Pool pool_;
    WaveTable waves_;
};

// The one mixer of the process.
Mixer& theMixer();

}  // namespace mixer

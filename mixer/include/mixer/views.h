// Read-only views into the mixer, for tests, benchmarks and fuzz harnesses.
//
// The program never includes this. Every view reads the one mixer as it
// stands and changes nothing a caller of soundmix.h could observe; to drive
// the mixer, use soundmix.h (and the virtual device of platform/).
// Positions count output bytes since the session's position last restarted.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mixer/soundmix.h"

namespace mixer::view {

using Position = int64_t;
constexpr Position kNever = INT64_MAX;  // the end of an endless play
constexpr int kChannelCount = 8;
constexpr int kPoolSize = 100;   // play entries in the whole process
constexpr int kBlockCount = 6;   // blocks in the ring; blocksInUse of them carry sound
constexpr int kBlockData = 4096; // the longest block

// What SoundMixInit chose from SOUNDMIX.INI and the config record.
struct Settings {
    int32_t deviceId = 0;  // -1: the default device
    std::string name;      // the device's profile section
    PcmWaveFormat format{};
    int32_t blockLength = 0;
    int32_t blocksInUse = 0;
    uint8_t goodWavePos = 0;     // as the profile gave it; 1: positions from the device's byte counter
    bool deferredRemix = false;  // Remix=2
};

// The live session's handle; 0 when there is none.
hMixSession sessionHandle();
// The session the last call named, or the device's messages last pumped; 0 for none.
hMixSession currentSession();
// nullopt for an invalid handle.
std::optional<Settings> settings(hMixSession session);
bool activated(hMixSession session);
bool deviceOpen(hMixSession session);
// Whether a session holds the claim on the device (kept by a failed activation too).
bool deviceClaimed();

// One play waiting on a channel or in the pending list.
struct Play {
    int channel = 0;
    hMixWave wave = 0;
    uint16_t loops = 0;
    int32_t length = 0;
    Position start = 0;
    Position end = 0;  // kNever: endless
};

bool channelOpen(hMixSession session, int channel);
int openChannelCount(hMixSession session);
// The channel's queue, oldest first; empty for a closed or idle channel.
std::vector<Play> channelPlays(hMixSession session, int channel);
// Plays accepted with MIX_PLAY_DEFER and not yet placed, oldest first.
std::vector<Play> pendingPlays(hMixSession session);

// The next byte the mixer produces.
Position mixPosition(hMixSession session);
// The play position by the device's byte counter, and by the clock.
Position heardPosition(hMixSession session);
Position clockPosition(hMixSession session);
// The two anchors the play position is kept by.
Position clockAnchor(hMixSession session);
Position deviceOffset(hMixSession session);

// Entries free in the process-wide pool.
int poolFreeCount();
// Blocks written to the device and not yet taken back.
int deviceQueueLength();

struct BlockView {
    bool free = true;
    uint32_t bufferLength = 0;
    Position start = 0;  // output position of its first byte, once filled
};
// nullopt while the device is closed or for an index outside the ring.
std::optional<BlockView> block(int index);

// Waves loaded and not yet freed.
size_t liveWaveCount();

}  // namespace mixer::view

// The real-time 8-bit wave mixer: its programming interface.
//
// One session per process mixes up to eight channels of 8-bit unsigned PCM into
// one output stream, queued block by block on the wave output device. Every
// failure raises ESoundMixError with an English message; nothing returns an
// error code.
//
// Handles are 32-bit ids looked up in tables, not pointers: the request
// records keep their packed little-endian layouts on 64-bit machines, and a
// closed session or a freed wave is recognised as invalid without touching
// freed memory. 0 is "none" for every handle.
#pragma once
#include <cstdint>
#include <exception>
#include <string>

using hMixSession = uint32_t;
using hMixWave = uint32_t;
using hMixWindow = uint32_t;    // a window that can receive posted messages (platform/callback_window.h)
using hMixModule = uint32_t;    // a module holding "WAVE" resources (platform/wave_resources.h)

class ESoundMixError : public std::exception {
public:
    explicit ESoundMixError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

#pragma pack(push, 1)
struct MixConfig {
    uint16_t size;      // must be sizeof(MixConfig) == 10, otherwise the record is ignored
    uint32_t flags;     // MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE
    uint16_t channels;  // more than 1 asks for stereo
    uint16_t rate;      // 11, 22 or 44
};

struct MixPlayParams {
    uint16_t size;        // 24; the mixer ignores it
    hMixSession session;
    int32_t channel;      // 0..7; written back with MIX_PLAY_ANY_CHANNEL
    hMixWave wave;
    hMixWindow notify;    // receives the end notice; 0 for none
    uint32_t flags;       // MIX_PLAY_*
    uint16_t loops;       // extra passes; 0xFFFF repeats endlessly
};

// The leading 16 bytes of a "fmt " chunk.
struct PcmWaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};
#pragma pack(pop)

static_assert(sizeof(MixConfig) == 10);
static_assert(sizeof(MixPlayParams) == 24);
static_assert(sizeof(PcmWaveFormat) == 16);

// A loaded wave, its samples already in the session's output format.
struct MixWaveHeader {
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    uint32_t user = 0;
    uint32_t flags = 0;
    uint32_t loops = 0;
};

struct MixWave {
    PcmWaveFormat format{};  // the source's format, as read
    MixWaveHeader header;
    char name[16] = {};
};

constexpr uint32_t MIX_CONFIG_CHANNELS = 1;
constexpr uint32_t MIX_CONFIG_RATE = 2;

constexpr uint32_t MIX_PLAY_REPLACE = 1;
constexpr uint32_t MIX_PLAY_ANY_CHANNEL = 2;
constexpr uint32_t MIX_PLAY_NOW = 4;
constexpr uint32_t MIX_PLAY_DEFER = 8;

constexpr int32_t MIX_OPEN_ONE = 0;
constexpr int32_t MIX_OPEN_ALL = 1;
constexpr int32_t MIX_OPEN_FIRST_N = 2;

constexpr int32_t MIX_CHANNELS_ALL = 1;
constexpr int32_t MIX_NO_REMIX = 2;

// Wave sources for SoundMixOpenWave's flags.
constexpr uint32_t MIX_WAVE_FILE = 1;      // source: const char* path
constexpr uint32_t MIX_WAVE_RESOURCE = 2;  // source: const char* name, or MixResourceId(n); instance: the module
constexpr uint32_t MIX_WAVE_MEMORY = 4;    // source: const MixMemoryFile*

// A resource given by number instead of by name (the upper 16 bits of the pointer are zero).
inline const void* MixResourceId(uint16_t n) { return reinterpret_cast<const void*>(uintptr_t(n)); }

// The caller's description of a RIFF image in memory. The mixer reads it and never changes it.
struct MixMemoryFile {
    const uint8_t* buffer = nullptr;
    uint32_t size = 0;
    uint32_t errorCode = 0;  // a failed open reports its code here (in the mixer's own copy)
};

// The end notice posted to a play's notify window: message, wParam = channel, lParam = wave.
constexpr uint32_t MIX_END_NOTICE = 0x3BD;

hMixSession SoundMixInit(const MixConfig* config);
void SoundMixCloseSession(hMixSession session);
void SoundMixActivate(hMixSession session, bool activate);
void SoundMixOpenChannel(hMixSession session, int32_t channel, int32_t mode);
void SoundMixCloseChannel(hMixSession session, int32_t channel, int32_t flags);
void SoundMixFlushChannel(hMixSession session, int32_t channel, int32_t flags);
void SoundMixPlay(MixPlayParams* params);
hMixWave SoundMixOpenWave(hMixSession session, const void* source, hMixModule instance, uint32_t flags);
void SoundMixFreeWave(hMixSession session, hMixWave wave);

// The record behind a live wave handle, or nullptr for none, stale or foreign handles.
const MixWave* SoundMixWaveInfo(hMixWave wave);

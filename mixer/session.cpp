// The session: creation from SOUNDMIX.INI and the config record, handle
// validation, closing.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "mixer/mixer_internal.h"
#include "platform/profile_ini.h"

const char* const MIX_CLASS_NAME = "SndMix32";
const char* const MIX_MSG_INVALID_SESSION = "Invalid Session handle";
const char* const MIX_MSG_OUT_OF_MEMORY =
    "Unable to allocate memory for waveform data.  Try making more memory available by closing other "
    "applications.";
const char* const MIX_MSG_WRITE_FAILED = "Failed to write block to device";

MixSession* CurrentSession = nullptr;
MixSession* DeviceSession = nullptr;

intptr_t MixWindowProc(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);

namespace {

const char* const kIni = "SOUNDMIX.INI";

// The session table: at most one live session. Handles count up and are never
// reused, so a closed session's handle cannot match again.
struct SessionSlot {
    hMixSession handle = 0;
    MixSession* record = nullptr;
};
SessionSlot gSlot;
hMixSession gLastHandle = 0;

int profileInt(const char* section, const char* key, int defaultValue) {
    return GetPrivateProfileInt(section, key, defaultValue, kIni);
}

int clampBlockLength(int value) { return std::clamp(value, 512, MIX_BLOCK_DATA) & ~3; }

void discard(MixSession* s) {
    *s = MixSession{};
    delete s;
    CurrentSession = nullptr;
}

}  // namespace

void MixFail(const char* message) { throw ESoundMixError(message); }

MixSession* MixFindSession(hMixSession session) {
    if (session == 0 || session != gSlot.handle || !gSlot.record) return nullptr;
    MixSession* s = gSlot.record;
    if (s->magic != MIX_SESSION_MAGIC || s->magic2 != MIX_SESSION_MAGIC) return nullptr;
    return s;
}

MixSession& MixUseSession(hMixSession session) {
    MixSession* s = MixFindSession(session);
    if (!s) MixFail(MIX_MSG_INVALID_SESSION);
    CurrentSession = s;
    return *s;
}

hMixSession MixSessionHandle() { return gSlot.record ? gSlot.handle : 0; }

bool MixDeviceCanPlaySessionFormat(const MixSession& s) {
    WaveOutFormat f;
    f.channels = s.format.channels;
    f.samplesPerSec = s.format.samplesPerSec;
    f.bitsPerSample = s.format.bitsPerSample;
    return CurrentWaveOutDriver().queryFormat(s.deviceId, f) == MMSYSERR_NOERROR;
}

MixWaveTarget MixSessionWaveTarget(const MixSession& s) {
    return MixWaveTarget{s.format.channels, static_cast<int>(s.format.samplesPerSec)};
}

hMixSession SoundMixInit(const MixConfig* config) {
    if (gSlot.record) MixFail("Session already initialized");

    if (!RegisterWindowClass(MIX_CLASS_NAME, MixWindowProc)) {
        uint32_t error = LastWindowError();
        if (error != ERROR_CLASS_ALREADY_EXISTS && error != 0)
            throw ESoundMixError("Error registering class #" + std::to_string(error));
    }

    MixPoolReset();

    if (config && config->size != sizeof(MixConfig)) config = nullptr;

    WaveOutDriver& driver = CurrentWaveOutDriver();
    int deviceCount = driver.deviceCount();
    if (deviceCount <= 0) MixFail("No wave output devices available");

    auto* s = new (std::nothrow) MixSession{};
    if (!s) MixFail(MIX_MSG_OUT_OF_MEMORY);
    CurrentSession = s;

    s->magic = s->magic2 = MIX_SESSION_MAGIC;
    for (auto& head : s->channelHeads) head = MixClosedChannel();
    s->format = PcmWaveFormat{1, 1, 11025, 11025, 1, 8};

    int remix = profileInt("default", "Remix", 1);
    int goodWavePos = profileInt("default", "GoodWavePos", 0);
    int waveBlocks = profileInt("default", "WaveBlocks", 3);
    int defaultBlockLen = profileInt("default", "WaveBlockLen", 0) & 0xFFFC;
    int samplesPerSec = profileInt("default", "SamplesPerSec", 11);
    std::strcpy(s->name, "default");

    s->deviceId = profileInt("general", "WaveOutDevice", 0);
    // Below -1 no number names a device: opening it could only fail and end
    // the program over a typing slip in the profile. The default device plays.
    if (s->deviceId >= deviceCount || s->deviceId < WAVE_MAPPER) s->deviceId = WAVE_MAPPER;

    WaveOutCaps caps;
    // A device that cannot describe itself is taken as a plain mono one that plays asynchronously.
    if (driver.getCaps(s->deviceId, caps) != MMSYSERR_NOERROR) {
        caps = WaveOutCaps{};
        std::strcpy(caps.productName, "Unknown Device");
        caps.channels = 1;
    }
    std::string device(caps.productName, strnlen(caps.productName, sizeof(caps.productName) - 1));

    if (caps.support & WAVECAPS_SYNC) {
        discard(s);
        throw ESoundMixError(device + " is a syncronous (blocking) " +
                             "wave output device.  This will not permit audio to play while other " +
                             "applications are running");
    }
    if (profileInt("not compatible", device.c_str(), 0) != 0) {
        discard(s);
        throw ESoundMixError(device + " is not compatible with " + "the realtime sound mixer");
    }

    std::memcpy(s->name, device.c_str(), device.size() + 1);
    const char* section = s->name;

    s->remix = profileInt(section, "Remix", remix) == 2 ? MixRemix::Deferred : MixRemix::Immediate;
    s->devicePositionFlag = static_cast<uint8_t>(profileInt(section, "GoodWavePos", goodWavePos) & 0xFF);
    s->blocksInUse = std::clamp(profileInt(section, "WaveBlocks", waveBlocks), 2, MIX_BLOCK_COUNT);

    if (config && (config->flags & MIX_CONFIG_CHANNELS) && config->channels > 1 && caps.channels > 1) {
        s->format.channels = 2;
        s->format.blockAlign = 2;
    }

    int rate = profileInt(section, "SamplesPerSec", samplesPerSec);
    if (config && (config->flags & MIX_CONFIG_RATE) &&
        (config->rate == 11 || config->rate == 22 || config->rate == 44))
        rate = config->rate;
    s->format.samplesPerSec = rate == 22 ? 22050 : rate == 44 ? 44100 : 11025;
    s->format.avgBytesPerSec = s->format.channels * s->format.samplesPerSec;

    // Every length is rounded down to whole 4-byte groups, so a stereo block
    // always ends on a frame boundary.
    int blockLen = profileInt(section, "WaveBlockLen", 0);
    if (blockLen != 0) s->blockLength = clampBlockLength(blockLen);
    else if (defaultBlockLen != 0) s->blockLength = clampBlockLength(defaultBlockLen);
    else s->blockLength = std::min<int>(2048 * static_cast<int>(s->format.samplesPerSec / 11025), MIX_BLOCK_DATA);

    if (++gLastHandle == 0) ++gLastHandle;
    gSlot = SessionSlot{gLastHandle, s};
    return gLastHandle;
}

void SoundMixCloseSession(hMixSession session) {
    MixSession& s = MixUseSession(session);
    SoundMixActivate(session, false);
    MixCloseAllChannels(s);
    gSlot = SessionSlot{};
    discard(&s);
}

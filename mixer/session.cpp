// The session: creation from SOUNDMIX.INI and the config record, handle
// validation, closing.
#include <algorithm>
#include <cstring>
#include <string>

#include "mixer_internal.h"
#include "platform/profile_ini.h"

namespace mixer {

const char* const kClassName = "SndMix32";
const char* const kMsgInvalidSession = "Invalid Session handle";
const char* const kMsgWriteFailed = "Failed to write block to device";

namespace {

const char* const kIni = "SOUNDMIX.INI";

int profileInt(const char* section, const char* key, int defaultValue) {
    return GetPrivateProfileInt(section, key, defaultValue, kIni);
}

// A block may end anywhere in the byte stream, except in stereo: a play queued
// behind it starts at the mix position, and an odd one would put its left
// samples on the right.
int clampBlockLength(int value, uint16_t blockAlign) {
    const int length = std::clamp(value, 512, kBlockData);
    return blockAlign > 1 ? length & ~1 : length;
}

}  // namespace

void fail(const std::string& message) { throw ESoundMixError(message); }

Session* Mixer::findSession(hMixSession session) {
    return session != 0 && session == handle_ && session_ ? &*session_ : nullptr;
}

Session& Mixer::useSession(hMixSession session) {
    Session* s = findSession(session);
    if (!s) fail(kMsgInvalidSession);
    current_ = s;
    return *s;
}

bool Mixer::deviceCanPlaySessionFormat(const Session& s) const {
    WaveOutFormat f;
    f.channels = s.format.channels;
    f.samplesPerSec = s.format.samplesPerSec;
    f.bitsPerSample = s.format.bitsPerSample;
    return CurrentWaveOutDriver().queryFormat(s.deviceId, f) == MMSYSERR_NOERROR;
}

void Mixer::discardSession() {
    session_.reset();
    handle_ = 0;
    current_ = nullptr;
}

hMixSession Mixer::init(const MixConfig* config) {
    if (session_) fail("Session already initialized");

    if (!RegisterWindowClass(kClassName, &Mixer::windowProc)) {
        uint32_t error = LastWindowError();
        if (error != ERROR_CLASS_ALREADY_EXISTS && error != 0)
            fail("Error registering class #" + std::to_string(error));
    }

    pool_.reset();

    if (config && config->size != sizeof(MixConfig)) config = nullptr;

    WaveOutDriver& driver = CurrentWaveOutDriver();
    int deviceCount = driver.deviceCount();
    if (deviceCount <= 0) fail("No wave output devices available");

    // Built aside and kept only once every check has passed.
    Session s;
    for (auto& head : s.channelHeads) head = pool_.closedChannel();
    s.format = PcmWaveFormat{1, 1, 11025, 11025, 1, 8};

    int remix = profileInt("default", "Remix", 1);
    int goodWavePos = profileInt("default", "GoodWavePos", 0);
    int waveBlocks = profileInt("default", "WaveBlocks", 3);
    int defaultBlockLen = profileInt("default", "WaveBlockLen", 0) & 0xFFFC;
    int samplesPerSec = profileInt("default", "SamplesPerSec", 11);
    std::strcpy(s.name, "default");

    s.deviceId = profileInt("general", "WaveOutDevice", 0);
    // Below -1 no number names a device: opening it could only fail and end
    // the program over a typing slip in the profile. The default device plays.
    if (s.deviceId >= deviceCount || s.deviceId < WAVE_MAPPER) s.deviceId = WAVE_MAPPER;

    WaveOutCaps caps;
    // A device that cannot describe itself is taken as a plain mono one that plays asynchronously.
    if (driver.getCaps(s.deviceId, caps) != MMSYSERR_NOERROR) {
        caps = WaveOutCaps{};
        std::strcpy(caps.productName, "Unknown Device");
        caps.channels = 1;
    }
    std::string device(caps.productName, strnlen(caps.productName, sizeof(caps.productName) - 1));

    if (caps.support & WAVECAPS_SYNC) {
        current_ = nullptr;
        fail(device + " is a syncronous (blocking) " +
             "wave output device.  This will not permit audio to play while other " + "applications are running");
    }
    if (profileInt("not compatible", device.c_str(), 0) != 0) {
        current_ = nullptr;
        fail(device + " is not compatible with " + "the realtime sound mixer");
    }

    std::memcpy(s.name, device.c_str(), device.size() + 1);
    const char* section = s.name;

    s.remix = profileInt(section, "Remix", remix) == 2 ? Remix::Deferred : Remix::Immediate;
    s.goodWavePos = static_cast<uint8_t>(profileInt(section, "GoodWavePos", goodWavePos) & 0xFF);
    s.blocksInUse = std::clamp(profileInt(section, "WaveBlocks", waveBlocks), 2, kBlockCount);

    if (config && (config->flags & MIX_CONFIG_CHANNELS) && config->channels > 1 && caps.channels > 1) {
        s.format.channels = 2;
        s.format.blockAlign = 2;
    }

    int rate = profileInt(section, "SamplesPerSec", samplesPerSec);
    if (config && (config->flags & MIX_CONFIG_RATE) &&
        (config->rate == 11 || config->rate == 22 || config->rate == 44))
        rate = config->rate;
    s.format.samplesPerSec = rate == 22 ? 22050 : rate == 44 ? 44100 : 11025;
    s.format.avgBytesPerSec = s.format.channels * s.format.samplesPerSec;

    int blockLen = profileInt(section, "WaveBlockLen", 0);
    if (blockLen != 0) s.blockLength = clampBlockLength(blockLen, s.format.blockAlign);
    else if (defaultBlockLen != 0) s.blockLength = clampBlockLength(defaultBlockLen, s.format.blockAlign);
    else s.blockLength = std::min<int>(2048 * static_cast<int>(s.format.samplesPerSec / 11025), kBlockData);

    session_.emplace(std::move(s));
    current_ = &*session_;
    if (++lastHandle_ == 0) ++lastHandle_;
    handle_ = lastHandle_;
    return handle_;
}

void Mixer::closeSession(hMixSession session) {
    Session& s = useSession(session);
    activate(session, false);
    closeAllChannels(s);
    discardSession();
}

}  // namespace mixer

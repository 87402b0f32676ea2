// Any bytes as SOUNDMIX.INI: every session opened on it holds settings within their clamps, opens the device
// in its format and closes clean. Lookups and what an empty file chooses are tested in tests/platform and mixer.
#include <filesystem>

#include <fstream>
#include <string_view>

#include "fuzz/entries.h"
#include "mixer/views.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

namespace view = mixer::view;

[[noreturn]] static void broken(const std::string& what, long long a = 0) { fuzzBroken("SOUNDMIX.INI", what, a); }

static int session(const MixConfig* config, VirtualWaveOut& wave) {
    hMixSession h = 0;
    try {
        h = SoundMixInit(config);
    } catch (const ESoundMixError&) {  // which settings a session refuses is tested in tests/mixer
        if (view::sessionHandle() != 0 || view::poolFreeCount() != view::kPoolSize) broken("a refusal left a session");
        return 0;
    }
    const view::Settings s = *view::settings(h);
    const PcmWaveFormat& f = s.format;
    if (s.blocksInUse < 2 || s.blocksInUse > view::kBlockCount) broken("blocks", s.blocksInUse);
    if (s.blockLength < 512 || s.blockLength > view::kBlockData || s.blockLength % f.blockAlign) broken("block", s.blockLength);
    if ((f.samplesPerSec != 11025 && f.samplesPerSec != 22050 && f.samplesPerSec != 44100) ||
        (f.channels != 1 && f.channels != 2) || f.avgBytesPerSec != f.channels * f.samplesPerSec)
        broken("an output format of no device", f.samplesPerSec);
    if (s.deviceId < WAVE_MAPPER || s.deviceId > 1) broken("a device that does not exist", s.deviceId);
    SoundMixActivate(h, true);
    if (!wave.isOpen() || wave.openedFormat().samplesPerSec != f.samplesPerSec) broken("the device opened otherwise");
    SoundMixCloseSession(h);
    DispatchPostedMessages();
    if (view::sessionHandle() || view::deviceClaimed() || wave.isOpen() || view::poolFreeCount() != view::kPoolSize)
        broken("closing left something behind");
    return 1;
}

int FeedSoundMixIni(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    // A fresh folder for every input: the fuzzer ends by _exit, nothing may wait for exit handlers.
    char dir[] = "/tmp/piko-ini-fuzz-XXXXXX";
    const std::string path = std::string(mkdtemp(dir) ? dir : "/nonexistent") + "/SOUNDMIX.INI";
    if (!(std::ofstream(path, std::ios::binary) << file)) broken("cannot write " + path);
    SetProfileDirectory(dir);
    int through = 0;
    static VirtualWaveOut wave;
    wave.setDevices({{"Virtual Wave Out", 2, 0}, {"Mono Card", 1, 0}});
    wave.keepWritten(false);
    const VirtualWaveOut::Use use(wave);
    const MixConfig stereo44{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, 2, 44}, wrongSize{9, MIX_CONFIG_RATE, 2, 22};
    for (const MixConfig* config : {static_cast<const MixConfig*>(nullptr), &stereo44, &wrongSize})
        through += session(config, wave);
    std::filesystem::remove_all(dir);
    return through;
}

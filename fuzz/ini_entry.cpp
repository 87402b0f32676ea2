// Any bytes as SOUNDMIX.INI: the lookup answers alike when asked twice and gives the default for a key the
// file never names; every session opened on it holds settings within their clamps (the documented default
// where the file is silent), opens the device in its format and closes clean.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string_view>

#include "fuzz/entries.h"
#include "mixer/views.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

namespace {

namespace view = mixer::view;

[[noreturn]] void broken(const std::string& what, long long a = 0, long long b = 0) { fuzzBroken("SOUNDMIX.INI", what, a, b); }

// Whether the file holds the word anywhere, in any case: if not, no line can set it.
bool mentions(std::string_view file, std::string_view word) {
    auto same = [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); };
    return std::search(file.begin(), file.end(), word.begin(), word.end(), same) != file.end();
}

int lookup(const char* section, const char* key, std::string_view file) {
    const int a = GetPrivateProfileInt(section, key, 7, "SOUNDMIX.INI");
    if (GetPrivateProfileInt(section, key, 7, "SOUNDMIX.INI") != a) broken(std::string("two lookups differ: ") + key);
    const int b = GetPrivateProfileInt(section, key, -40000, "SOUNDMIX.INI");
    if (a != b && (a != 7 || b != -40000)) broken(std::string("a default mixed with a value: ") + key, a);
    if (!mentions(file, key) && a != 7) broken(std::string("a value for a key never named: ") + key, a);
    return a != b ? 0 : 1;
}

int session(const MixConfig* config, std::string_view file, VirtualWaveOut& wave) {
    hMixSession h = 0;
    try {
        h = SoundMixInit(config);
    } catch (const ESoundMixError& e) {
        if (!mentions(file, "not compatible")) broken("a session refused: " + e.message());
        if (view::sessionHandle() != 0 || view::poolFreeCount() != view::kPoolSize) broken("a refusal left a session");
        return 0;
    }
    const std::optional<view::Settings> s = view::settings(h);
    const PcmWaveFormat& f = s->format;
    if (s->blocksInUse < 2 || s->blocksInUse > view::kBlockCount) broken("blocks", s->blocksInUse);
    if (s->blockLength < 512 || s->blockLength > view::kBlockData || s->blockLength % 4) broken("block", s->blockLength);
    if ((f.samplesPerSec != 11025 && f.samplesPerSec != 22050 && f.samplesPerSec != 44100) ||
        (f.channels != 1 && f.channels != 2) || f.avgBytesPerSec != f.channels * f.samplesPerSec)
        broken("an output format of no device", f.samplesPerSec, f.channels);
    if (s->deviceId < WAVE_MAPPER || s->deviceId > 1) broken("a device that does not exist", s->deviceId);
    // Where the file is silent, the documented defaults.
    const bool rateAsked = config && config->size == 10 && (config->flags & MIX_CONFIG_RATE);
    if (!mentions(file, "WaveBlocks") && s->blocksInUse != 3) broken("default blocks", s->blocksInUse);
    if (!mentions(file, "SamplesPerSec") && !rateAsked && f.samplesPerSec != 11025) broken("default rate");
    if (!mentions(file, "WaveBlockLen") && s->blockLength != std::min<int>(2048 * int(f.samplesPerSec / 11025), 4096))
        broken("default block length", s->blockLength);
    if (!mentions(file, "Remix") && s->deferredRemix) broken("default remix");
    if (!mentions(file, "GoodWavePos") && s->goodWavePos != 0) broken("default position source");
    if (!mentions(file, "WaveOutDevice") && s->deviceId != 0) broken("default device", s->deviceId);
    SoundMixActivate(h, true);
    if (!wave.isOpen() || wave.openedFormat().samplesPerSec != f.samplesPerSec) broken("the device opened otherwise");
    SoundMixCloseSession(h);
    DispatchPostedMessages();
    if (view::sessionHandle() != 0 || view::deviceClaimed() || wave.isOpen() || view::poolFreeCount() != view::kPoolSize)
        broken("closing left something behind");
    return 1;
}

}  // namespace

int FeedSoundMixIni(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    // A fresh folder for every input: the fuzzer ends by _exit, nothing may wait for exit handlers.
    char dir[] = "/tmp/piko-ini-fuzz-XXXXXX";
    const std::string path = std::string(mkdtemp(dir) ? dir : "/nonexistent") + "/SOUNDMIX.INI";
    if (!(std::ofstream(path, std::ios::binary) << file)) broken("cannot write " + path);
    SetProfileDirectory(dir);
    int through = 0;
    for (const auto& [section, key] : {std::pair{"general", "WaveOutDevice"}, {"default", "WaveBlockLen"},
                                       {"default", "SamplesPerSec"}, {"Mono Card", "WaveBlocks"},
                                       {"not compatible", "Virtual Wave Out"}})
        through += lookup(section, key, file);

    static VirtualWaveOut wave;
    wave.setDevices({{"Virtual Wave Out", 2, 0}, {"Mono Card", 1, 0}}), wave.keepWritten(false);
    VirtualWaveOut::Use use(wave);
    const MixConfig stereo44{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, 2, 44}, wrongSize{9, MIX_CONFIG_RATE, 2, 22};
    for (const MixConfig* config : {static_cast<const MixConfig*>(nullptr), &stereo44, &wrongSize})
        through += session(config, file, wave);
    ::unlink(path.c_str()), ::rmdir(dir);
    return through;
}

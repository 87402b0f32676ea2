#include "fuzz/ini_entry.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mixer/views.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

namespace {

const char* const kCard = "Virtual Wave Out";
const char* const kMonoCard = "Sound Blaster 16 Wave Out";  // a section name with blanks
const char* const kUnknown = "Unknown Device";
constexpr int kDeviceCount = 2;

[[noreturn]] void broken(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "SOUNDMIX.INI entry: %s %s\n", what, detail.c_str());
    std::abort();
}

// ---- what the file says, read by a plain model of the lookup's rules

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool mentions(std::string_view text, std::string_view word) {
    for (size_t i = 0; i + word.size() <= text.size(); ++i)
        if (sameName(text.substr(i, word.size()), word)) return true;
    return false;
}

// Leading decimal digits after blanks and a sign, wrapping at 32 bits.
int leadingNumber(std::string_view v) {
    size_t i = 0;
    while (i < v.size() && std::isspace(static_cast<unsigned char>(v[i]))) ++i;
    uint32_t sign = 1;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) sign = v[i++] == '-' ? ~0u : 1u;
    uint32_t n = 0;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') n = n * 10u + uint32_t(v[i++] - '0');
    return int(n * sign);
}

struct IniText {
    std::vector<std::string_view> lines;
    std::string_view all;

    explicit IniText(std::string_view text) : all(text) {
        size_t from = 0;
        while (from <= text.size()) {
            size_t end = text.find('\n', from);
            if (end == std::string_view::npos) end = text.size();
            lines.push_back(trimmed(text.substr(from, end - from)));
            from = end + 1;
        }
    }

    bool hasSection(std::string_view section) const {
        for (std::string_view t : lines) {
            if (t.empty() || t[0] != '[') continue;
            size_t close = t.find(']');
            if (close != std::string_view::npos && sameName(trimmed(t.substr(1, close - 1)), section)) return true;
        }
        return false;
    }

    // Whether some "key=value" line of the file, in whatever section, gives this value.
    bool someLineGives(std::string_view key, int value) const {
        for (std::string_view t : lines) {
            size_t eq = t.find('=');
            if (eq == std::string_view::npos || !sameName(trimmed(t.substr(0, eq)), key)) continue;
            std::string_view v = trimmed(t.substr(eq + 1));
            if (!v.empty() && leadingNumber(v) == value) return true;
        }
        return false;
    }
};

// ---- the private profile directory, made afresh for every input: the fuzzer
// ends by _exit, so nothing may be left to clean up at exit

struct IniDir {
    std::string dir;
    std::string path;

    IniDir(const uint8_t* data, size_t size) {
        char tmpl[] = "/tmp/piko-ini-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) broken("no temporary directory");
        dir = tmpl;
        path = dir + "/SOUNDMIX.INI";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) broken("cannot write", path);
        SetProfileDirectory(dir);
    }
    ~IniDir() {
        ::unlink(path.c_str());
        ::rmdir(dir.c_str());
    }
};

// ---- the lookup alone

// Two lookups with different defaults: where they differ, each gave its own
// default; where they agree, the file holds the section and a line with that value.
bool checkLookup(const IniText& ini, const char* section, const char* key) {
    const int a = GetPrivateProfileInt(section, key, 7, "SOUNDMIX.INI");
    const int b = GetPrivateProfileInt(section, key, -40000, "SOUNDMIX.INI");
    const std::string where = std::string("[") + section + "] " + key;
    if (a != b) {
        if (a != 7 || b != -40000) broken("a lookup mixed its default with something else:", where);
        return false;
    }
    if (!ini.hasSection(section)) broken("a value from a section the file does not have:", where);
    if (!ini.someLineGives(key, a)) broken("a value no line of the file gives:", where + " = " + std::to_string(a));
    return true;
}

// ---- whole sessions

struct Setup {
    const MixConfig* config;
    bool capsFail;
};

void expectSession(const IniText& ini, const Setup& setup, VirtualWaveOut& wave, IniFeedResult& result) {
    const int32_t id = GetPrivateProfileInt("general", "WaveOutDevice", 0, "SOUNDMIX.INI");
    // No number below -1 names a device: like one past the last, it means the default device.
    const int32_t expectedId = (id >= kDeviceCount || id < WAVE_MAPPER) ? WAVE_MAPPER : id;
    const bool known = !setup.capsFail && expectedId >= WAVE_MAPPER && expectedId < kDeviceCount;
    const std::string name = !known ? kUnknown : expectedId == 1 ? kMonoCard : kCard;
    const bool deviceStereo = known && expectedId != 1;
    const bool refuse = GetPrivateProfileInt("not compatible", name, 0, "SOUNDMIX.INI") != 0;

    wave.failCaps(setup.capsFail);
    hMixSession h = 0;
    try {
        h = SoundMixInit(setup.config);
    } catch (const ESoundMixError& e) {
        if (!refuse || e.message() != name + " is not compatible with the realtime sound mixer")
            broken("session refused:", e.message());
        if (mixer::view::sessionHandle() != 0 || mixer::view::poolFreeCount() != mixer::view::kPoolSize)
            broken("a refusal left a session behind");
        ++result.refusals;
        return;
    }
    if (refuse) broken("a device the file calls not compatible was taken:", name);
    ++result.sessions;

    const std::optional<mixer::view::Settings> s = mixer::view::settings(h);
    if (!s) broken("the new session does not validate");
    const PcmWaveFormat& f = s->format;
    if (s->deviceId != expectedId) broken("device id", std::to_string(s->deviceId));
    if (name != s->name) broken("device section", s->name);
    if (s->blocksInUse < 2 || s->blocksInUse > mixer::view::kBlockCount) broken("blocks", std::to_string(s->blocksInUse));
    if (s->blockLength < 512 || s->blockLength > mixer::view::kBlockData || s->blockLength % 4)
        broken("block length", std::to_string(s->blockLength));
    if (f.samplesPerSec != 11025 && f.samplesPerSec != 22050 && f.samplesPerSec != 44100)
        broken("rate", std::to_string(f.samplesPerSec));
    if (f.channels != 1 && f.channels != 2) broken("channels", std::to_string(f.channels));
    if (f.formatTag != 1 || f.bitsPerSample != 8 || f.blockAlign != f.channels ||
        f.avgBytesPerSec != f.channels * f.samplesPerSec)
        broken("an inconsistent output format");

    // What only the config record or the device decides.
    const MixConfig* c = setup.config && setup.config->size == sizeof(MixConfig) ? setup.config : nullptr;
    const bool askStereo = c && (c->flags & MIX_CONFIG_CHANNELS) && c->channels > 1;
    if (f.channels != (askStereo && deviceStereo ? 2 : 1)) broken("stereo not as asked and offered");
    const bool forcedRate = c && (c->flags & MIX_CONFIG_RATE) && (c->rate == 11 || c->rate == 22 || c->rate == 44);
    if (forcedRate && f.samplesPerSec != (c->rate == 11 ? 11025u : c->rate == 22 ? 22050u : 44100u))
        broken("the config record's rate was not kept");

    // A key the file never names leaves its default.
    if (!mentions(ini.all, "WaveBlocks") && s->blocksInUse != 3) broken("default blocks");
    if (!mentions(ini.all, "SamplesPerSec") && !forcedRate && f.samplesPerSec != 11025) broken("default rate");
    if (!mentions(ini.all, "WaveBlockLen") && s->blockLength != std::min<int>(2048 * int(f.samplesPerSec / 11025), 4096))
        broken("default block length", std::to_string(s->blockLength));
    if (!mentions(ini.all, "Remix") && s->deferredRemix) broken("default remix");
    if (!mentions(ini.all, "GoodWavePos") && s->goodWavePos != 0) broken("default position source");
    if (!mentions(ini.all, "WaveOutDevice") && s->deviceId != 0) broken("default device");

    // The device opens in the session's format; an id no device has fails cleanly.
    const bool openable = s->deviceId >= WAVE_MAPPER && s->deviceId < kDeviceCount;
    try {
        SoundMixActivate(h, true);
        if (!openable) broken("a device that does not exist opened");
        const WaveOutFormat opened = wave.openedFormat();
        if (!wave.isOpen() || opened.channels != f.channels || opened.samplesPerSec != f.samplesPerSec)
            broken("the device opened in another format");
        for (int i = 0; i < mixer::view::kBlockCount; ++i)
            if (const auto b = mixer::view::block(i); !b || (!b->free && b->bufferLength != uint32_t(s->blockLength)))
                broken("a block of another length");
    } catch (const ESoundMixError& e) {
        if (openable) broken("activation failed:", e.message());
    }
    SoundMixCloseSession(h);
    DispatchPostedMessages();
    if (mixer::view::sessionHandle() != 0 || mixer::view::deviceClaimed() || wave.isOpen() ||
        mixer::view::poolFreeCount() != mixer::view::kPoolSize)
        broken("closing left something behind");
}

}  // namespace

IniFeedResult FeedSoundMixIni(const uint8_t* data, size_t size) {
    const IniDir file(data, size);
    const IniText ini(std::string_view(reinterpret_cast<const char*>(data), size));
    IniFeedResult result;

    static const char* const kLookups[][2] = {
        {"general", "WaveOutDevice"},   {"default", "WaveBlockLen"},     {"default", "SamplesPerSec"},
        {kMonoCard, "WaveBlocks"},       {"not compatible", kMonoCard},   {"not compatible", kCard},
    };
    for (const auto& q : kLookups) result.valuesFound += checkLookup(ini, q[0], q[1]);

    static VirtualWaveOut wave;
    static const bool ready = [] {
        wave.setDevices({{kCard, 2, 0}, {kMonoCard, 1, 0}});
        wave.keepWritten(false);
        return true;
    }();
    (void)ready;
    VirtualWaveOut::Use use(wave);

    static const MixConfig kStereo44{10, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, 2, 44};
    static const MixConfig kRate22{10, MIX_CONFIG_RATE, 2, 22};
    static const MixConfig kWrongSize{9, MIX_CONFIG_CHANNELS | MIX_CONFIG_RATE, 2, 44};
    static const Setup kSetups[] = {
        {nullptr, false}, {&kStereo44, false}, {&kRate22, false}, {&kWrongSize, false}, {&kStereo44, true},
    };
    for (const Setup& setup : kSetups) expectSession(ini, setup, wave, result);
    wave.failCaps(false);
    return result;
}

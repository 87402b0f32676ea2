// piko_heard: what the program should have played, as the program itself
// loads it. Run with the program's folder (its SOUNDMIX.INI, or none) and the
// same SDL driver, it converts the named waves of cg/ to the session's format
// through the mixer component, exactly as PlaySound does, and looks for them
// one after the other in the stream SDL's disk driver wrote. A sound queued
// behind one already mixed in full waits for the blocks the device holds, so
// less than a block of silence may lie between two of them.
//
//   piko_heard APP_DIR STREAM WAVE...      exit 0: found in that order, only such silence between
//   piko_heard --dump OUT_DIR APP_DIR WAVE...   writes OUT_DIR/<wave>.u8 (for listening tools)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mixer/views.h"
#include "mixer/sound_mix_component.h"
#include "platform/profile_ini.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes converted(TSoundMix& mix, const std::string& path) {
    const hMixWave w = mix.OpenWave(path.c_str());
    const MixWave* mw = SoundMixWaveInfo(w);
    Bytes bytes(mw->header.data, mw->header.data + mw->header.bufferLength);
    mix.FreeWave(w);
    return bytes;
}

long find(const Bytes& hay, const Bytes& needle) {
    if (needle.empty()) return -1;
    const auto at = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return at == hay.end() ? -1 : long(at - hay.begin());
}

bool startsAt(const Bytes& hay, size_t at, const Bytes& needle) {
    return hay.size() - at >= needle.size() && std::equal(needle.begin(), needle.end(), hay.begin() + long(at));
}

// Whether the waves from `index` on follow one another from `at`, each after
// less than `block` bytes of silence.
bool followFrom(const Bytes& heard, size_t at, const std::vector<std::pair<std::string, Bytes>>& waves,
                size_t index, size_t block) {
    if (index == waves.size()) return true;
    for (size_t gap = 0; gap < block && at + gap < heard.size(); ++gap) {
        if (startsAt(heard, at + gap, waves[index].second) &&
            followFrom(heard, at + gap + waves[index].second.size(), waves, index + 1, block))
            return true;
        if (heard[at + gap] != 128) return false;
    }
    return false;
}

int usage() {
    std::fprintf(stderr, "usage: piko_heard APP_DIR STREAM WAVE... | piko_heard --dump OUT_DIR APP_DIR WAVE...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const bool dump = argc > 1 && std::strcmp(argv[1], "--dump") == 0;
    if (argc < (dump ? 5 : 4)) return usage();
    const std::string out = dump ? argv[2] : "";
    const std::string app = argv[dump ? 3 : 1];
    const std::string stream = dump ? "" : argv[2];
    const int first = dump ? 4 : 3;
    try {
        SetProfileDirectory(app);
        TSoundMix mix;
        const PcmWaveFormat f = mixer::view::settings(mixer::view::currentSession())->format;
        std::printf("session format: %d-bit, %d channel(s), %u Hz\n", int(f.bitsPerSample), int(f.channels),
                    unsigned(f.samplesPerSec));
        std::vector<std::pair<std::string, Bytes>> waves;
        for (int i = first; i < argc; ++i) waves.emplace_back(argv[i], converted(mix, app + "/cg/" + argv[i]));
        if (dump) {
            for (const auto& [name, bytes] : waves) {
                std::ofstream(out + "/" + name + ".u8", std::ios::binary)
                    .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
                std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
            }
            return 0;
        }
        std::ifstream in(stream, std::ios::binary);
        const Bytes heard{std::istreambuf_iterator<char>(in), {}};
        const size_t block = size_t(mixer::view::settings(mixer::view::currentSession())->blockLength);
        const Bytes& first = waves.front().second;
        for (auto at = std::search(heard.begin(), heard.end(), first.begin(), first.end()); at != heard.end();
             at = std::search(at + 1, heard.end(), first.begin(), first.end())) {
            const size_t from = size_t(at - heard.begin());
            if (followFrom(heard, from + first.size(), waves, 1, block)) {
                std::printf("found at byte %zu of %zu, each within a block of the one before\n", from, heard.size());
                return 0;
            }
        }
        std::printf("not found in %zu bytes; alone:", heard.size());
        for (const auto& [name, bytes] : waves) std::printf(" %s (%zu bytes) at %ld", name.c_str(), bytes.size(), find(heard, bytes));
        std::printf("\n");
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "piko_heard: %s\n", e.what());
        return 2;
    }
}

// piko_heard APP_DIR STREAM WAVE...: exit 0 when the stream SDL's disk driver wrote holds the named waves
// of APP_DIR/cg/ one after the other, converted by the mixer as the program converts them (with APP_DIR's
// SOUNDMIX.INI, or none). A sound queued behind one mixed in full waits for the blocks the device holds,
// so less than a block of silence may lie between two of them.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "mixer/sound_mix_component.h"
#include "mixer/views.h"
#include "platform/profile_ini.h"

using Bytes = std::vector<uint8_t>;

// Whether waves[i...] follow one another from `at`, each but the first after less than `block` bytes of silence.
static bool follow(const Bytes& heard, size_t at, const std::vector<Bytes>& waves, size_t i, size_t block) {
    for (size_t gap = 0; i < waves.size() && gap < (i ? block : 1) && at + gap < heard.size(); ++gap) {
        if (heard.size() - at - gap >= waves[i].size() && std::equal(waves[i].begin(), waves[i].end(), heard.begin() + long(at + gap)) &&
            follow(heard, at + gap + waves[i].size(), waves, i + 1, block))
            return true;
        if (heard[at + gap] != 128) return false;
    }
    return i == waves.size();
}

int main(int argc, char** argv) try {
    if (argc < 4) return std::fprintf(stderr, "usage: piko_heard APP_DIR STREAM WAVE...\n"), 2;
    SetProfileDirectory(argv[1]);
    TSoundMix mix;  // the session as the program would open it
    std::vector<Bytes> waves;
    for (int i = 3; i < argc; ++i) {
        const hMixWave w = mix.OpenWave((std::string(argv[1]) + "/cg/" + argv[i]).c_str());
        const MixWaveHeader& h = SoundMixWaveInfo(w)->header;
        waves.emplace_back(h.data, h.data + h.bufferLength), mix.FreeWave(w);
    }
    std::ifstream in(argv[2], std::ios::binary);
    const Bytes heard{std::istreambuf_iterator<char>(in), {}};
    const size_t block = size_t(mixer::view::settings(mixer::view::currentSession())->blockLength);
    for (size_t at = 0; at < heard.size(); ++at)
        if (follow(heard, at, waves, 0, block)) return std::printf("found at byte %zu of %zu\n", at, heard.size()), 0;
    return std::printf("not found in %zu bytes\n", heard.size()), 1;
} catch (const std::exception& e) {
    return std::fprintf(stderr, "piko_heard: %s\n", e.what()), 2;
}

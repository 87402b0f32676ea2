// piko_heard APP_DIR STREAM WAVE...: whether the stream SDL's disk driver wrote
// holds the named waves of APP_DIR/cg/ one after the other, each converted by
// the mixer as the program converts it (with APP_DIR's SOUNDMIX.INI, or none).
// A sound queued behind one already mixed in full waits for the blocks the
// device holds, so less than a block of silence may lie between two of them.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mixer/sound_mix_component.h"
#include "mixer/views.h"
#include "platform/profile_ini.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Whether waves[index...] follow one another from `at`, each after less than `block` bytes of silence.
bool followFrom(const Bytes& heard, size_t at, const std::vector<Bytes>& waves, size_t index, size_t block) {
    if (index == waves.size()) return true;
    for (size_t gap = 0; gap < block && at + gap < heard.size(); ++gap) {
        const Bytes& w = waves[index];
        if (heard.size() - at - gap >= w.size() && std::equal(w.begin(), w.end(), heard.begin() + long(at + gap)) &&
            followFrom(heard, at + gap + w.size(), waves, index + 1, block))
            return true;
        if (heard[at + gap] != 128) return false;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return std::fprintf(stderr, "usage: piko_heard APP_DIR STREAM WAVE...\n"), 2;
    try {
        SetProfileDirectory(argv[1]);
        TSoundMix mix;
        std::vector<Bytes> waves;
        for (int i = 3; i < argc; ++i) {
            const hMixWave w = mix.OpenWave((std::string(argv[1]) + "/cg/" + argv[i]).c_str());
            const MixWaveHeader& h = SoundMixWaveInfo(w)->header;
            waves.emplace_back(h.data, h.data + h.bufferLength);
            mix.FreeWave(w);
        }
        std::ifstream in(argv[2], std::ios::binary);
        const Bytes heard{std::istreambuf_iterator<char>(in), {}};
        const size_t block = size_t(mixer::view::settings(mixer::view::currentSession())->blockLength);
        const Bytes& first = waves.front();
        for (auto at = std::search(heard.begin(), heard.end(), first.begin(), first.end()); at != heard.end();
             at = std::search(at + 1, heard.end(), first.begin(), first.end()))
            if (followFrom(heard, size_t(at - heard.begin()) + first.size(), waves, 1, block))
                return std::printf("found at byte %zu of %zu\n", size_t(at - heard.begin()), heard.size()), 0;
        return std::printf("not found in %zu bytes (block %zu)\n", heard.size(), block), 1;
    } catch (const std::exception& e) {
        return std::fprintf(stderr, "piko_heard: %s\n", e.what()), 2;
    }
}

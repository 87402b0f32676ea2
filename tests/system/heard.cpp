// piko_heard APP_DIR STREAM WAVE...: exit 0 when the stream SDL's disk driver wrote holds the named waves
// of APP_DIR/cg/, converted by the mixer as the program converts them, one after the other: a sound queued
// behind one mixed in full waits for the blocks the device holds, so less than a block of silence between.
#include <fstream>
#include <iterator>

#include "mixer/sound_mix_component.h"
#include "mixer/views.h"
#include "platform/profile_ini.h"

using Bytes = std::vector<uint8_t>;

static bool follow(const Bytes& heard, size_t at, const std::vector<Bytes>& waves, size_t i, size_t block) {
    for (size_t gap = 0; i < waves.size() && gap < (i ? block : 1) && at + gap < heard.size(); ++gap) {
        const auto from = heard.begin() + long(at + gap);
        if (heard.size() - at - gap >= waves[i].size() && std::equal(waves[i].begin(), waves[i].end(), from) &&
            follow(heard, at + gap + waves[i].size(), waves, i + 1, block))
            return true;
        if (*from != 128) return false;
    }
    return i == waves.size();
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    SetProfileDirectory(argv[1]);  // its SOUNDMIX.INI, or none
    TSoundMix mix;                 // the session as the program would open it
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
    for (size_t at = 0; at < heard.size(); ++at)
        if (follow(heard, at, waves, 0, block)) return 0;
    return 1;
}

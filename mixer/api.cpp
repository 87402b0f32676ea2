// soundmix.h: each function a thin entry into the one mixer.
#include "mixer_internal.h"

namespace mixer {

Mixer& theMixer() {
    // Built on first use and never destroyed: a session still open at exit
    // must not close its device after the platform below it has gone.
    static Mixer* const mixer = new Mixer;
    return *mixer;
}

}  // namespace mixer

using mixer::theMixer;

hMixSession SoundMixInit(const MixConfig* config) { return theMixer().init(config); }
void SoundMixCloseSession(hMixSession session) { theMixer().closeSession(session); }
void SoundMixActivate(hMixSession session, bool activate) { theMixer().activate(session, activate); }
void SoundMixOpenChannel(hMixSession session, int32_t channel, int32_t mode) {
    theMixer().openChannel(session, channel, mode);
}
void SoundMixCloseChannel(hMixSession session, int32_t channel, int32_t flags) {
    theMixer().closeChannel(session, channel, flags);
}
void SoundMixFlushChannel(hMixSession session, int32_t channel, int32_t flags) {
    theMixer().flushChannel(session, channel, flags);
}
void SoundMixPlay(MixPlayParams* params) { theMixer().play(params); }
hMixWave SoundMixOpenWave(hMixSession session, const void* source, hMixModule instance, uint32_t flags) {
    return theMixer().openWave(session, source, instance, flags);
}
void SoundMixFreeWave(hMixSession session, hMixWave wave) { theMixer().freeWave(session, wave); }
const MixWave* SoundMixWaveInfo(hMixWave wave) { return theMixer().waveInfo(wave); }

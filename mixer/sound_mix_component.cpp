#include "mixer/sound_mix_component.h"

TSoundMix::TSoundMix(const SoundMixApi& api) : api_(api) {
    // A record with only its size set: SOUNDMIX.INI alone decides the format.
    MixConfig config{};
    config.size = sizeof(MixConfig);
    session_ = api_.init(&config);
    if (!session_) throw ESoundMixError("Initialization failed (SoundMixInit)");
    params_.size = sizeof(MixPlayParams);
    params_.session = session_;
}

TSoundMix::~TSoundMix() {
    // Each step on its own: a failure in one must not keep the device or the session held.
    try {
        setChannels(0);
    } catch (...) {
    }
    try {
        setActivated(false);
    } catch (...) {
    }
    if (session_) {
        try {
            api_.closeSession(session_);
        } catch (...) {
        }
    }
}

void TSoundMix::setActivated(bool value) {
    if (value == activated_) return;
    api_.activate(session_, value);
    activated_ = value;
}

void TSoundMix::setChannels(uint8_t value) {
    if (value == channels_) return;
    if (value == 0xFF) {
        api_.openChannel(session_, 0, MIX_OPEN_ALL);
    } else if (value == 0) {
        api_.closeChannel(session_, 0, MIX_CHANNELS_ALL);
    } else {
        for (int i = 0; i < 8; ++i) {
            const uint8_t bit = static_cast<uint8_t>(1u << i);
            if ((value ^ channels_) & bit) {
                if (value & bit) api_.openChannel(session_, i, MIX_OPEN_ONE);
                else api_.closeChannel(session_, i, 0);
                channels_ ^= bit;
            }
        }
    }
    channels_ = value;
}

hMixWave TSoundMix::OpenWave(const char* fileName) { return api_.openWave(session_, fileName, 0, MIX_WAVE_FILE); }

void TSoundMix::FreeWave(hMixWave wave) { api_.freeWave(session_, wave); }

void TSoundMix::Play(int32_t channel, hMixWave wave, hMixWindow notify, uint32_t flags, uint16_t loops) {
    params_.channel = channel;
    params_.wave = wave;
    params_.notify = notify;
    params_.flags = flags;
    params_.loops = loops;
    api_.play(&params_);
}

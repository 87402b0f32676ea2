#include "mixer/sound_mix_component.h"

#include <algorithm>

#include "platform/callback_window.h"

namespace {

bool contains(const std::vector<hMixWave>& v, hMixWave w) { return std::find(v.begin(), v.end(), w) != v.end(); }

bool erase(std::vector<hMixWave>& v, hMixWave w) {
    auto it = std::find(v.begin(), v.end(), w);
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

}  // namespace

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
    // Each step on its own, whatever fails (the mixer's errors or the
    // injected calls' own): a failure in one must not keep a wave, the device
    // or the session held. No more notices first: nothing may be freed twice.
    if (noticeWindow_) DestroyCallbackWindow(noticeWindow_);
    while (!owned_.empty()) {
        try {
            freeQuietly(owned_.back());
        } catch (...) {
        }
    }
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

// ---- play once, free when heard

void TSoundMix::PlayOnce(int32_t channel, hMixWave wave) {
    if (!noticeWindow_) noticeWindow_ = CreateCallbackWindow(&TSoundMix::noticeProc, this);
    if (wave && !contains(owned_, wave)) owned_.push_back(wave);
    Play(channel, wave, noticeWindow_, 0, 0);
    // Once per play: a wave queued twice is heard twice before it goes.
    if (contains(owned_, wave)) playing_.push_back(wave);
}

void TSoundMix::Hold(hMixWave wave) {
    if (wave && !contains(held_, wave)) held_.push_back(wave);
}

void TSoundMix::Release(hMixWave wave) {
    erase(held_, wave);
    if (wave && !contains(playing_, wave)) freeQuietly(wave);
}

intptr_t TSoundMix::noticeProc(void* self, hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message != MIX_END_NOTICE) return DefaultWindowProc(window, message, wParam, lParam);
    static_cast<TSoundMix*>(self)->heard(static_cast<hMixWave>(lParam));
    return 0;
}

void TSoundMix::heard(hMixWave wave) {
    if (!erase(playing_, wave) || contains(playing_, wave)) return;
    if (!contains(held_, wave)) freeQuietly(wave);
}

void TSoundMix::freeQuietly(hMixWave wave) {
    erase(owned_, wave);
    std::erase(playing_, wave);
    try {
        FreeWave(wave);
    } catch (const ESoundMixError&) {
        // Already freed by whoever also held it: nothing is left to free.
    }
}

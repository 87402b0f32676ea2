#include "app/heard_waves.h"

#include <algorithm>
#include <utility>

#include "platform/callback_window.h"

namespace {

const char* const kClass = "PikoHeardWaves";

// Window procedures are plain functions: each window finds its owner here.
std::vector<std::pair<hMixWindow, HeardWaves*>>& owners() {
    static std::vector<std::pair<hMixWindow, HeardWaves*>> list;
    return list;
}

bool erase(std::vector<hMixWave>& v, hMixWave w) {
    auto it = std::find(v.begin(), v.end(), w);
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

bool contains(const std::vector<hMixWave>& v, hMixWave w) { return std::find(v.begin(), v.end(), w) != v.end(); }

}  // namespace

HeardWaves::HeardWaves(std::function<void(hMixWave)> free, std::function<bool(hMixWave)> kept)
    : free_(std::move(free)), kept_(std::move(kept)) {
    RegisterWindowClass(kClass, &HeardWaves::procedure);  // already there from an earlier window: fine
    window_ = CreateCallbackWindow(kClass);
    if (window_) owners().emplace_back(window_, this);
}

HeardWaves::~HeardWaves() {
    if (!window_) return;
    auto& list = owners();
    list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& p) { return p.second == this; }),
               list.end());
    DestroyCallbackWindow(window_);
}

intptr_t HeardWaves::procedure(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == MIX_END_NOTICE)
        for (auto& [w, owner] : owners())
            if (w == window) {
                owner->heard(static_cast<hMixWave>(lParam));
                return 0;
            }
    return DefaultWindowProc(window, message, wParam, lParam);
}

void HeardWaves::loaded(hMixWave wave) {
    if (wave && !contains(loaded_, wave)) loaded_.push_back(wave);
}

void HeardWaves::playing(hMixWave wave) {
    if (contains(loaded_, wave) && !contains(playing_, wave)) playing_.push_back(wave);
}

void HeardWaves::released(hMixWave wave) {
    if (wave && !contains(playing_, wave)) drop(wave);
}

void HeardWaves::heard(hMixWave wave) {
    if (!erase(playing_, wave)) return;
    if (!kept_ || !kept_(wave)) drop(wave);
}

void HeardWaves::drop(hMixWave wave) {
    erase(loaded_, wave);
    erase(playing_, wave);
    try {
        if (free_) free_(wave);
    } catch (...) {
        // Already gone (freed with the window's own waves): nothing left to free.
    }
}

void HeardWaves::freeAll() {
    while (!loaded_.empty()) drop(loaded_.back());
}

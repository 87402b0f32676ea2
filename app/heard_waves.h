// The waves PlaySound loads, freed once their play has been heard.
//
// PlaySound loads a fresh wave at every call. Each one is played once on
// channel 1 with our notice window, so the mixer tells us when it has been
// heard to its end; then it goes, unless it is still wave_last (which the
// window frees when it is destroyed). A wave is never freed while a channel
// still has to play it, and a long life keeps at most the plays in flight.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "mixer/soundmix.h"

class HeardWaves {
public:
    // free: gives a wave back to the mixer (may throw; swallowed here).
    // kept: whether a wave must stay loaded all the same (wave_last).
    HeardWaves(std::function<void(hMixWave)> free, std::function<bool(hMixWave)> kept);
    ~HeardWaves();
    HeardWaves(const HeardWaves&) = delete;
    HeardWaves& operator=(const HeardWaves&) = delete;

    // Receives the end notices; delivered on the thread that dispatches posted messages.
    hMixWindow window() const { return window_; }

    void loaded(hMixWave wave);    // PlaySound loaded it: ours to free
    void playing(hMixWave wave);   // its play was accepted: wait for the notice
    // It is no longer wave_last: free it now unless its play is still to be
    // heard. The start-up 1.wav comes here too: nothing else holds or plays it.
    void released(hMixWave wave);
    // Frees every wave of ours still loaded (the window is going).
    void freeAll();

    size_t loadedCount() const { return loaded_.size(); }
    size_t playingCount() const { return playing_.size(); }

private:
    static intptr_t procedure(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    void heard(hMixWave wave);
    void drop(hMixWave wave);

    std::function<void(hMixWave)> free_;
    std::function<bool(hMixWave)> kept_;
    hMixWindow window_ = 0;
    std::vector<hMixWave> loaded_;
    std::vector<hMixWave> playing_;
};

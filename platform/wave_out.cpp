#include "platform/wave_out.h"

#include <atomic>

namespace {
std::atomic<WaveOutDriver*> gDriver{nullptr};
}

WaveOutDriver& CurrentWaveOutDriver() {
    WaveOutDriver* d = gDriver.load();
    return d ? *d : SdlWaveOutDriver();
}

void SetWaveOutDriver(WaveOutDriver* driver) { gDriver.store(driver); }

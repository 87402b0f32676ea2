// libFuzzer: arbitrary bytes as a memory image, loaded into every session format.
#include "fuzz/wave_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FeedWaveImage(data, size);
    return 0;
}

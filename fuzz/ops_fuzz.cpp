// libFuzzer: arbitrary bytes as a sequence of mixer operations on the virtual device.
#include "fuzz/ops_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FeedMixerOps(data, size);
    return 0;
}

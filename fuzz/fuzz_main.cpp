// libFuzzer's side of every fuzz_<name>: PIKO_FUZZ_ENTRY names its Feed function.
#include "fuzz/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PIKO_FUZZ_ENTRY(data, size);
    return 0;
}

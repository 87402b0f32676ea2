// libFuzzer: arbitrary bytes as SOUNDMIX.INI, read by the lookup and by whole sessions.
#include "fuzz/ini_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FeedSoundMixIni(data, size);
    return 0;
}

// libFuzzer target: my.dat's reader on arbitrary bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/mydat_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = checkParsedPet({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "my.dat reader: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

// MixSamples: the inner loop, run for every output byte.
//
// One pass over the sources with the sum held in 16 bits (8 x 255 fits), one
// clip at the end. Each source count has its own loop with the pointers in
// __restrict locals, so the compiler vectorises it (this file is built with
// vectorisation on, see mixer/CMakeLists.txt).
#include <cstring>

#include "mixer/mixer_internal.h"

namespace {

inline uint8_t clip(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

template <int K>
void mixK(uint8_t* __restrict dst, const uint8_t* const* sources, unsigned n) {
    const uint8_t* __restrict a = sources[0];
    const uint8_t* __restrict b = sources[1];
    const uint8_t* __restrict c = K > 2 ? sources[2] : nullptr;
    const uint8_t* __restrict d = K > 3 ? sources[3] : nullptr;
    const uint8_t* __restrict e = K > 4 ? sources[4] : nullptr;
    const uint8_t* __restrict f = K > 5 ? sources[5] : nullptr;
    const uint8_t* __restrict g = K > 6 ? sources[6] : nullptr;
    const uint8_t* __restrict h = K > 7 ? sources[7] : nullptr;
    constexpr int bias = -128 * (K - 1);
    for (unsigned i = 0; i < n; ++i) {
        int16_t v = static_cast<int16_t>(a[i] + b[i] + bias);
        if constexpr (K > 2) v = static_cast<int16_t>(v + c[i]);
        if constexpr (K > 3) v = static_cast<int16_t>(v + d[i]);
        if constexpr (K > 4) v = static_cast<int16_t>(v + e[i]);
        if constexpr (K > 5) v = static_cast<int16_t>(v + f[i]);
        if constexpr (K > 6) v = static_cast<int16_t>(v + g[i]);
        if constexpr (K > 7) v = static_cast<int16_t>(v + h[i]);
        dst[i] = clip(v);
    }
}

}  // namespace

void MixSamples(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length) {
    switch (count) {
    case 1: std::memcpy(dst, sources[0], length); break;
    case 2: mixK<2>(dst, sources, length); break;
    case 3: mixK<3>(dst, sources, length); break;
    case 4: mixK<4>(dst, sources, length); break;
    case 5: mixK<5>(dst, sources, length); break;
    case 6: mixK<6>(dst, sources, length); break;
    case 7: mixK<7>(dst, sources, length); break;
    case 8: mixK<8>(dst, sources, length); break;
    default: break;
    }
}

void MixSamplesReference(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length) {
    for (unsigned i = 0; i < length; ++i) {
        int v = 128;
        for (int j = 0; j < count; ++j) v += sources[j][i] - 128;
        dst[i] = clip(v);
    }
}

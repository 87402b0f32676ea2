// mixSamples: the inner loop, run for every output byte.
//
// One pass over the sources with the sum held in 16 bits (8 x 255 fits), one
// clip at the end. On x86-64 the loop is written with SSE2 (always there) and
// AVX2 (picked at run time when the processor has it); the clip is the
// saturating pack from 16 to 8 bits, exact for every sum. Elsewhere each
// source count has its own plain loop with __restrict pointers, which the
// compiler vectorises (this file is built with vectorisation on, see
// mixer/CMakeLists.txt). mixSamplesReference is what all of them must equal.
#include <cstring>

#include "kernel.h"

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#define PIKO_MIX_X86 1
#endif

namespace mixer {
namespace {

inline uint8_t clip(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

template <int K>
void mixPlain(uint8_t* __restrict dst, const uint8_t* const* sources, unsigned from, unsigned n) {
    const uint8_t* __restrict a = sources[0];
    const uint8_t* __restrict b = sources[1];
    const uint8_t* __restrict c = K > 2 ? sources[2] : nullptr;
    const uint8_t* __restrict d = K > 3 ? sources[3] : nullptr;
    const uint8_t* __restrict e = K > 4 ? sources[4] : nullptr;
    const uint8_t* __restrict f = K > 5 ? sources[5] : nullptr;
    const uint8_t* __restrict g = K > 6 ? sources[6] : nullptr;
    const uint8_t* __restrict h = K > 7 ? sources[7] : nullptr;
    constexpr int bias = -128 * (K - 1);
    for (unsigned i = from; i < n; ++i) {
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

#ifdef PIKO_MIX_X86

template <int K>
void mixSse2(uint8_t* dst, const uint8_t* const* sources, unsigned from, unsigned n) {
    const uint8_t* src[K];
    for (int j = 0; j < K; ++j) src[j] = sources[j];
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128 * (K - 1));
    unsigned i = from;
    for (; i + 16 <= n; i += 16) {
        __m128i lo = zero, hi = zero;
        for (int j = 0; j < K; ++j) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src[j] + i));
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_packus_epi16(_mm_sub_epi16(lo, bias), _mm_sub_epi16(hi, bias)));
    }
    mixPlain<K>(dst, sources, i, n);
}

template <int K>
__attribute__((target("avx2"))) void mixAvx2(uint8_t* dst, const uint8_t* const* sources, unsigned n) {
    const uint8_t* src[K];
    for (int j = 0; j < K; ++j) src[j] = sources[j];
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bias = _mm256_set1_epi16(128 * (K - 1));
    unsigned i = 0;
    // Unpacking and packing both work inside 128-bit lanes, so the bytes come back in order.
    for (; i + 32 <= n; i += 32) {
        __m256i lo = zero, hi = zero;
        for (int j = 0; j < K; ++j) {
            __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src[j] + i));
            lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(v, zero));
            hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(v, zero));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_packus_epi16(_mm256_sub_epi16(lo, bias), _mm256_sub_epi16(hi, bias)));
    }
    mixPlain<K>(dst, sources, i, n);
}

// Asked once at start-up: the processor does not change under us.
const bool kHasAvx2 = __builtin_cpu_supports("avx2");

template <int K>
void mixK(uint8_t* dst, const uint8_t* const* sources, unsigned n, VectorLoop loop) {
    if (loop == VectorLoop::Widest && kHasAvx2) mixAvx2<K>(dst, sources, n);
    else mixSse2<K>(dst, sources, 0, n);
}

#else

const bool kHasAvx2 = false;

template <int K>
void mixK(uint8_t* dst, const uint8_t* const* sources, unsigned n, VectorLoop) {
    mixPlain<K>(dst, sources, 0, n);
}

#endif

}  // namespace

void mixSamples(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length, VectorLoop loop) {
    switch (count) {
    case 1: std::memcpy(dst, sources[0], length); break;
    case 2: mixK<2>(dst, sources, length, loop); break;
    case 3: mixK<3>(dst, sources, length, loop); break;
    case 4: mixK<4>(dst, sources, length, loop); break;
    case 5: mixK<5>(dst, sources, length, loop); break;
    case 6: mixK<6>(dst, sources, length, loop); break;
    case 7: mixK<7>(dst, sources, length, loop); break;
    case 8: mixK<8>(dst, sources, length, loop); break;
    default: break;
    }
}

void mixSamplesReference(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length) {
    for (unsigned i = 0; i < length; ++i) {
        int v = 128;
        for (int j = 0; j < count; ++j) v += sources[j][i] - 128;
        dst[i] = clip(v);
    }
}

}  // namespace mixer

#include "convert.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "mixer/soundmix.h"
#include "platform/cp932.h"

namespace mixer {

const char* const kOutOfMemory =
    "Unable to allocate memory for waveform data.  Try making more memory available by closing other applications.";

std::string divisionByZeroMessage() { return cp932("0 による除算"); }

namespace {

[[noreturn]] void fail(uint8_t* buffer, const std::string& message) {
    std::free(buffer);
    throw ESoundMixError(message);
}

// A result of no bytes counts as a failed allocation, and so does one whose
// length would not fit the mixer's signed 32-bit counts.
uint8_t* allocate(uint8_t* old, int64_t length) {
    if (length <= 0 || length > std::numeric_limits<int32_t>::max()) fail(old, kOutOfMemory);
    auto* p = static_cast<uint8_t*>(std::malloc(size_t(length)));
    if (!p) fail(old, kOutOfMemory);
    return p;
}

}  // namespace

uint8_t* convertWidth(uint32_t targetBits, uint32_t sourceBits, uint8_t* buffer, int32_t& length) {
    if (sourceBits == targetBits) return buffer;
    // Only 16 to 8 bits is ever asked for: every session is 8-bit.
    if (sourceBits != 16 || targetBits != 8) fail(buffer, "File format not supported");
    int64_t n = length / 2;
    uint8_t* out = allocate(buffer, n);
    for (int64_t i = 0; i < n; ++i) out[i] = uint8_t(buffer[2 * i + 1] ^ 0x80);  // high byte, top bit inverted
    std::free(buffer);
    length = int32_t(n);
    return out;
}

uint8_t* convertChannels(uint32_t targetChannels, uint32_t sourceChannels, uint8_t* buffer, int32_t& length) {
    if (sourceChannels == targetChannels) return buffer;
    if (sourceChannels == 0) fail(buffer, divisionByZeroMessage());
    if (targetChannels != 1 && targetChannels != 2) fail(buffer, "File format not supported");
    const int64_t n = length / int64_t(sourceChannels);
    uint8_t* out = allocate(buffer, n * targetChannels);
    const uint8_t* src = buffer;
    if (sourceChannels == 1) {
        for (int64_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = src[i];
    } else if (targetChannels == 1) {
        // Channels beyond the first two carry nothing a mono mix can use.
        for (int64_t i = 0; i < n; ++i, src += sourceChannels) out[i] = uint8_t((src[0] + src[1]) >> 1);
    } else {
        for (int64_t i = 0; i < n; ++i, src += sourceChannels) {
            out[2 * i] = src[0];
            out[2 * i + 1] = src[1];
        }
    }
    std::free(buffer);
    length = int32_t(n * targetChannels);
    return out;
}

uint8_t* convertRate(uint32_t channels, uint32_t targetRate, uint32_t sourceRate, uint8_t* buffer, int32_t& length) {
    if (sourceRate == targetRate) return buffer;
    if (sourceRate == 0 || targetRate == 0 || channels == 0) fail(buffer, divisionByZeroMessage());
    const int64_t F = channels;
    const int64_t n = length / F;
    const uint8_t* src = buffer;
    if (sourceRate < targetRate) {
        const int64_t k = targetRate / sourceRate;
        const int64_t outLength = n * k * F;  // at most 2^31 * 44100: no 64-bit overflow
        uint8_t* out = allocate(buffer, outLength);
        uint8_t* dst = out;
        for (int64_t i = 0; i + 1 < n; ++i) {
            for (int64_t c = 0; c < F; ++c) {
                const int a = src[i * F + c];
                const int d = (src[(i + 1) * F + c] - a) / int(k);
                for (int64_t j = 0; j < k; ++j) dst[j * F + c] = uint8_t(a + int(j) * d);
            }
            dst += k * F;
        }
        for (int64_t j = 0; j < k; ++j, dst += F) std::memcpy(dst, src + (n - 1) * F, size_t(F));
        std::free(buffer);
        length = int32_t(outLength);
        return out;
    }
    const int64_t k = (int64_t(sourceRate) + targetRate / 2) / targetRate;
    const int64_t m = n / k;
    const int64_t outLength = m * F;
    uint8_t* out = allocate(buffer, outLength);
    for (int64_t i = 0; i + 1 < m; ++i) {
        const uint8_t* frame = src + i * k * F;
        for (int64_t c = 0; c < F; ++c) {
            int64_t sum = 0;
            for (int64_t j = 0; j < k; ++j) sum += int(frame[j * F + c]) - 128;
            out[i * F + c] = uint8_t(sum / k + 128);
        }
    }
    std::memcpy(out + (m - 1) * F, src + (m - 1) * k * F, size_t(F));  // the last frame is copied, not averaged
    std::free(buffer);
    length = int32_t(outLength);
    return out;
}

namespace {

// Whether converting `length` bytes from `source` to `target` keeps every
// step's result within kMaxWaveBytes. A conversion that will fail for
// another reason (no channels, an unsupported width) fits: it raises its own error.
bool conversionFits(const SampleFormat& target, const SampleFormat& source, int64_t length) {
    if (source.channels == target.channels && source.rate == target.rate && source.bits == target.bits) return true;
    // The lengths each step will ask for, in the steps' order.
    if (source.bits != target.bits) {
        if (source.bits != 16 || target.bits != 8) return true;
        length /= 2;
        if (length > kMaxWaveBytes) return false;
    }
    if (source.channels != target.channels) {
        if (source.channels == 0 || (target.channels != 1 && target.channels != 2)) return true;
        length = length / source.channels * target.channels;
        if (length > kMaxWaveBytes) return false;
    }
    if (source.rate != target.rate) {
        if (source.rate == 0 || target.rate == 0 || target.channels == 0) return true;
        const int64_t frames = length / target.channels;
        if (source.rate < target.rate) length = frames * (target.rate / source.rate) * target.channels;
        else length = frames / ((int64_t(source.rate) + target.rate / 2) / target.rate) * target.channels;
    }
    return length <= kMaxWaveBytes;
}

}  // namespace

uint8_t* convertSamples(const SampleFormat& target, const SampleFormat& source, uint8_t* buffer, int32_t& length) {
    if (source.channels == target.channels && source.rate == target.rate && source.bits == target.bits) return buffer;
    if (!conversionFits(target, source, length)) fail(buffer, kOutOfMemory);
    buffer = convertWidth(target.bits, source.bits, buffer, length);
    buffer = convertChannels(target.channels, source.channels, buffer, length);
    return convertRate(target.channels, target.rate, source.rate, buffer, length);
}

}  // namespace mixer

// Conversion of a wave's samples to the session's 8-bit output format, once, at
// load time: width, then channels, then rate, each one pass with whole-number
// rate factors.
//
// Buffers are malloc'd. Every step takes over the buffer it is given: it returns
// a new buffer (releasing the old one) or the same one when it has nothing to do,
// and on failure it releases the buffer before raising ESoundMixError.
#pragma once
#include <cstdint>
#include <string>

namespace mixer {

struct SampleFormat {
    uint32_t channels = 1;
    uint32_t rate = 11025;  // samples per second per channel
    uint32_t bits = 8;
};

// The message of every failed allocation of the loader and the conversion.
extern const char* const kOutOfMemory;

// No buffer of a conversion grows beyond this: about three minutes of 8-bit
// stereo at 44 100 Hz. A wave that would need more (a sound recorded at 1 Hz
// and stretched to the session's rate, say) fails with kOutOfMemory before
// the conversion allocates anything.
constexpr int32_t kMaxWaveBytes = 16 << 20;
// The division error a source without channels or rate raises (CP932 bytes).
std::string divisionByZeroMessage();

// Raises kOutOfMemory, releasing the buffer, when the conversion does not fit.
uint8_t* convertSamples(const SampleFormat& target, const SampleFormat& source, uint8_t* buffer, int32_t& length);

// The three steps, each on the previous one's result.
uint8_t* convertWidth(uint32_t targetBits, uint32_t sourceBits, uint8_t* buffer, int32_t& length);
uint8_t* convertChannels(uint32_t targetChannels, uint32_t sourceChannels, uint8_t* buffer, int32_t& length);
uint8_t* convertRate(uint32_t channels, uint32_t targetRate, uint32_t sourceRate, uint8_t* buffer, int32_t& length);

}  // namespace mixer

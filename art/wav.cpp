#include "art/art.h"
#include "art/bytes.h"

namespace art {

namespace {
// Byte by byte: g++ 12 misreads a range insert into a fresh vector as an overflow.
void tag(std::vector<uint8_t>& out, const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(t[i]));
}
}  // namespace

std::vector<uint8_t> encodeWav(const Sound& s) {
    const uint32_t blockAlign = uint32_t(s.channels * s.bits / 8);
    const uint32_t dataSize = uint32_t(s.data.size());
    const uint32_t padded = dataSize + (dataSize & 1);
    std::vector<uint8_t> out;
    tag(out, "RIFF");
    put32(out, 4 + 8 + 16 + 8 + padded);
    tag(out, "WAVE");
    tag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, uint32_t(s.channels));
    put32(out, uint32_t(s.rate));
    put32(out, uint32_t(s.rate) * blockAlign);
    put16(out, blockAlign);
    put16(out, uint32_t(s.bits));
    tag(out, "data");
    put32(out, dataSize);
    out.insert(out.end(), s.data.begin(), s.data.end());
    if (dataSize & 1) out.push_back(0);
    return out;
}

}  // namespace art

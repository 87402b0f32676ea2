// Hand-made RIFF/WAVE images for the loader's tests.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void putLe(Bytes& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A chunk: id, size (the body's own unless declared otherwise), body, a pad byte when odd.
inline Bytes chunk(const std::string& id, const Bytes& body, std::optional<uint32_t> declared = std::nullopt) {
    Bytes out(id.begin(), id.end());
    putLe(out, declared.value_or(uint32_t(body.size())), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
    return out;
}

inline Bytes fmtBody(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1) {
    Bytes b;
    putLe(b, tag, 2);
    putLe(b, channels, 2);
    putLe(b, rate, 4);
    putLe(b, rate * channels * (bits / 8), 4);
    putLe(b, uint32_t(channels * (bits / 8)), 2);
    putLe(b, bits, 2);
    return b;
}

inline Bytes riffWave(const Bytes& contents) {
    Bytes body{'W', 'A', 'V', 'E'};
    body.insert(body.end(), contents.begin(), contents.end());
    return chunk("RIFF", body);
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A complete PCM wave.
inline Bytes pcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples) {
    return riffWave(chunk("fmt ", fmtBody(channels, rate, bits)) + chunk("data", samples));
}

inline Bytes samples16(std::initializer_list<int16_t> values) {
    Bytes b;
    for (int16_t v : values) putLe(b, uint16_t(v), 2);
    return b;
}

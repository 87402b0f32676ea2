// Test helpers: finding a seed whose first draws are the ones a case needs, and
// writing CP932 bytes out explicitly.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/random.h"

// One expected draw: random(range) must give `value` (or, with `anyBut`, anything else).
struct Draw {
    int32_t range;
    int32_t value;
    bool anyBut = false;
};
inline Draw is(int32_t range, int32_t value) { return {range, value, false}; }
inline Draw not_(int32_t range, int32_t value) { return {range, value, true}; }
inline Draw any(int32_t range) { return {range, -1, true}; }

inline bool drawsMatch(uint32_t seed, const std::vector<Draw>& draws) {
    Random r(seed);
    for (const Draw& d : draws) {
        const int32_t v = r(d.range);
        if (d.anyBut ? v == d.value : v != d.value) return false;
    }
    return true;
}

// The first seed whose draws follow `draws` in order.
inline uint32_t seedFor(const std::vector<Draw>& draws) {
    for (uint32_t s = 1; s < 200000000u; ++s)
        if (drawsMatch(s, draws)) return s;
    ADD_FAILURE() << "no seed found";
    return 0;
}

// The generator's state after exactly these draws from `seed`: comparing it with
// the state after a rule shows that the rule drew exactly that many times.
inline uint32_t stateAfter(uint32_t seed, const std::vector<Draw>& draws) {
    Random r(seed);
    for (const Draw& d : draws) r(d.range);
    return r.state();
}

// "92 6d 94 5c" -> the bytes.
inline std::string bytes(const char* hex) {
    std::istringstream in(hex);
    std::string out;
    unsigned v;
    while (in >> std::hex >> v) out.push_back(char(v));
    return out;
}

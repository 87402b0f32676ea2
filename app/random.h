// The pet's one random generator. Its sequence is observable (same seed, same
// life), so every draw must happen exactly where the rules make it.
#pragma once
#include <cstdint>

class Random {
public:
    explicit Random(uint32_t seed = 0) : state_(seed) {}

    void seed(uint32_t s) { state_ = s; }
    uint32_t state() const { return state_; }

    // Uniform 0..n-1; random(0) and a negative n (a damaged save can make one) yield 0.
    int32_t operator()(int32_t n) {
        state_ = state_ * 134775813u + 1u;
        if (n <= 0) return 0;
        return int32_t((uint64_t(uint32_t(n)) * state_) >> 32);
    }

    // Milliseconds since local midnight, as the program seeds itself at start-up.
    static uint32_t timeOfDaySeed();

private:
    uint32_t state_;
};

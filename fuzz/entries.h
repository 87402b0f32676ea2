// What the fuzzers and the corpus replay of tests/system feed bytes through. Each aborts, saying why, when a
// property breaks (errors raised on purpose are fine), and returns how many of its tries got through.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int FeedSoundMixIni(const uint8_t* data, size_t size);  // as SOUNDMIX.INI
int FeedMixerOps(const uint8_t* data, size_t size);     // as a sequence of mixer calls
int FeedWaveImage(const uint8_t* data, size_t size);    // as a wave in memory
int FeedMyDat(const uint8_t* data, size_t size);        // as my.dat

[[noreturn]] inline void fuzzBroken(const char* entry, const std::string& what, long long a = 0, long long b = 0) {
    std::fprintf(stderr, "%s: %s (%lld, %lld)\n", entry, what.c_str(), a, b);
    std::abort();
}

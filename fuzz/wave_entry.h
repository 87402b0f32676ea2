// The one entry both the fuzzer and the corpus replay feed bytes through.
#pragma once
#include <cstddef>
#include <cstdint>

// Loads the bytes as a memory image into each of the six session formats and
// frees what loads. Aborts on anything a load must never do (a wave left
// behind, a buffer of an impossible length); errors the loader raises are fine.
// Returns how many of the six loads succeeded.
int FeedWaveImage(const uint8_t* data, size_t size);

// The one entry both the SOUNDMIX.INI fuzzer and its corpus replay feed bytes through.
#pragma once
#include <cstddef>
#include <cstdint>

struct IniFeedResult {
    int valuesFound = 0;  // lookups that found a value in the file rather than the default
    int sessions = 0;     // sessions that opened
    int refusals = 0;     // sessions refused because the file lists the device as not compatible
};

// Writes the bytes as SOUNDMIX.INI into a private profile directory, looks up
// a few keys the program reads, then creates, activates and closes mixer
// sessions on the virtual device under several config records. Aborts on
// anything the profile rules cannot produce: a lookup inventing a value, a
// setting outside its range, a default ignored, a refusal the file did not ask for.
IniFeedResult FeedSoundMixIni(const uint8_t* data, size_t size);

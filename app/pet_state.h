// The one creature the program keeps: everything that my.dat stores.
#pragma once
#include <array>
#include <cstdint>
#include <string>

// Face, speech and timers all key off the condition; the names are the face strips' base names.
enum PetCondition : int32_t {
    futu = 0,    // normal
    fuki = 1,    // sulky
    niko = 2,    // cheerful
    sabisi = 3,  // lonely
    uresi = 4,   // happy
    naku = 5,    // crying
    okoru = 6,   // angry
    neru = 7,    // asleep
    byoki = 8,   // ill
    kuru = 9,    // confused
    sinu = 10,   // dead, or no pet kept
};

constexpr int kWordSlots = 256;

// All strings are CP932 bytes exactly as typed; integers are signed 32-bit as stored.
struct PetState {
    std::string pet_name;
    int32_t age = 0;
    int32_t intellect = 0;
    int32_t morals = 0;
    int32_t vigor = 0;
    int32_t fullness = 0;
    int32_t condition = 0;
    int32_t ark_points = 0;
    int32_t word_count = 0;  // 0..kWordSlots once loaded
    std::array<std::string, kWordSlots> words;

    bool operator==(const PetState&) const = default;
};

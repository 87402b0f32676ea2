// The two pets a saving process alternates between: far apart in size, so a
// cut-off file can never pass for either of them.
#pragma once
#include <string>

#include "app/pet_state.h"

inline PetState smallPet() {
    PetState p;
    p.pet_name = "A";
    p.age = 3;
    p.intellect = 4;
    p.morals = 5;
    p.vigor = 6;
    p.condition = 2;
    p.ark_points = 120;
    p.word_count = 1;
    p.words[0] = "\x83\x5c";  // "ソ": a trail byte of 0x5C
    return p;
}

inline PetState bigPet() {
    PetState p;
    p.pet_name = "BBBBBBBBBBBBBBBB";
    p.age = 19;
    p.intellect = 20;
    p.morals = -2147483647 - 1;
    p.vigor = 2147483647;
    p.fullness = -3;
    p.condition = 9;
    p.ark_points = 16000;
    p.word_count = 256;
    for (int i = 0; i < 256; ++i) p.words[size_t(i)] = std::string(60, char('a' + i % 26)) + std::to_string(i);
    return p;
}

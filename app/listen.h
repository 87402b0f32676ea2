// Word learning: what the pet does with a line typed to it (Listen).
#pragma once
#include <string>
#include <string_view>

#include "app/effects.h"
#include "app/pet_state.h"
#include "app/random.h"

struct Heard {
    bool heard = false;    // false: the line was empty, nothing happened at all
    Sounds sounds;         // "2.wav", then "4.wav" of AddPoints
    std::string reply;     // moji_l's new caption; empty blanks the label
    bool learned = false;  // the line went into words[]
};

// edit_bClick and edit_lKeyDown (Enter) call this with edit_l's text, then
// set moji_l to `reply` and clear edit_l when `heard`. There is no gate: with
// no live pet the line is still learned and the gauges still change.
//
// CR, LF and 0x1A are dropped from the line (they would break my.dat's lines);
// a line of nothing else is empty. Once all 256 slots are filled the pet still
// answers, pays its points and changes its gauges, but learns nothing more and
// word_count stays 256. A negative word_count (a damaged my.dat) counts as 0.
Heard listen(PetState& pet, std::string_view line, Random& random);

// The line as it may be stored: without CR, LF and 0x1A.
std::string storableLine(std::string_view line);

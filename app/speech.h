// The speech generator (Timer4Timer): composes what the pet says on its own.
#pragma once
#include <optional>
#include <string>

#include "app/pet_state.h"
#include "app/random.h"

// nullopt: leave moji_l alone (no pet, dead pet, a silent tick).
// A string, even an empty one: set it as moji_l's caption.
// Reads the state only; the draws follow the composer's fixed order.
std::optional<std::string> composeUtterance(const PetState& pet, Random& random, bool petLives);

// The range of a fragment-index draw: age + extra, computed without overflow
// (a damaged my.dat can hold any age) and saturated at the largest int32.
int32_t reachRange(int32_t age, int32_t extra);

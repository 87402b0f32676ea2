// What a rule of the pet's life hands back to the form. The rules change the
// pet state themselves; everything that touches a widget, a file or the mixer
// comes back as data for the form to carry out, in order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Bare file names of cg/ for PlaySound ("1.wav" ...), in the order they are played.
using Sounds = std::vector<std::string>;

// Gauges are stored as signed 32-bit values and a hand-edited my.dat can put them
// anywhere; arithmetic on them wraps as a 32-bit register would instead of
// being undefined.
inline void addWrapping(int32_t& value, int32_t delta) {
    value = int32_t(uint32_t(value) + uint32_t(delta));
}

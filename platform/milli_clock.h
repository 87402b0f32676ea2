// The millisecond clock: a 32-bit count that wraps after about 49.7 days.
#pragma once
#include <cstdint>

uint32_t MilliClockNow();

// Tests replace the clock; nullptr puts the steady system clock back.
using MilliClockSource = uint32_t (*)();
void SetMilliClockSource(MilliClockSource source);

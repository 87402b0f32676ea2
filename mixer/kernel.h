// The summing kernel: dst[i] := the clipped sum of the sources (128 is
// silence); one source is a copy. Pure functions, no state.
#pragma once
#include <cstdint>

namespace mixer {

// The loops the kernel can run. Widest is the widest the processor has,
// chosen once at start-up; Baseline is what every processor of the
// architecture runs. Tests hold both to the reference.
enum class VectorLoop { Baseline, Widest };

void mixSamples(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length,
                VectorLoop loop = VectorLoop::Widest);
// The same, byte by byte without tricks: what mixSamples must agree with.
void mixSamplesReference(uint8_t* dst, const uint8_t* const* sources, int count, uint16_t length);

}  // namespace mixer

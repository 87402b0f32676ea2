// The face display (Timer5Timer): which strip and which frame to show.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

struct FaceTick {
    bool draw = false;                  // false: no pet, touch nothing
    int frame = 0;                      // 0: left square (x 0..99), 1: right square (x 100..199)
    std::optional<std::string> strip;   // "futu.bmp" ... to reload into cg2; none: keep cg2's strip
};

// Flips `faceFrame` (the form's face_frame, 0 at start) while a pet lives;
// a dead face stays at frame 0. The form loads cg/<strip> into cg2 (a failure
// ends the tick before the copy) and copies the 100 x 100 square at
// x = 100 * frame into cg's 100 x 100 bitmap.
FaceTick faceTick(uint8_t& faceFrame, int32_t condition, bool petLives);

// The strip file of a condition 0..10 ("futu.bmp" ... "sinu.bmp"); none outside.
std::optional<std::string> faceStripFile(int32_t condition);

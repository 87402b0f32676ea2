#include "app/face.h"

#include <array>

#include "app/pet_state.h"

std::optional<std::string> faceStripFile(int32_t condition) {
    static const std::array<const char*, 11> names = {"futu", "fuki", "niko",  "sabisi", "uresi", "naku",
                                                      "okoru", "neru", "byoki", "kuru",   "sinu"};
    if (condition < 0 || condition > 10) return std::nullopt;
    return std::string(names[size_t(condition)]) + ".bmp";
}

FaceTick faceTick(uint8_t& faceFrame, int32_t condition, bool petLives) {
    FaceTick t;
    if (!petLives) return t;
    faceFrame = faceFrame ? 0 : 1;
    if (condition == sinu) faceFrame = 0;
    t.draw = true;
    t.frame = faceFrame;
    t.strip = faceStripFile(condition);
    return t;
}

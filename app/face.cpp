#include "app/face.h"

#include "app/pet_state.h"
#include "art/art.h"

std::optional<std::string> faceStripFile(int32_t condition) {
    if (condition < 0 || size_t(condition) >= art::kFaceNames.size()) return std::nullopt;
    return std::string(art::kFaceNames[size_t(condition)]) + ".bmp";
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

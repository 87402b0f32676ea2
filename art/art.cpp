#include "art/art.h"

namespace art {

const std::array<const char*, 11> kFaceNames = {
    "futu", "fuki", "niko", "sabisi", "uresi", "naku", "okoru", "neru", "byoki", "kuru", "sinu"};

}  // namespace art

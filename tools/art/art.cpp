#include "tools/art/art.h"

namespace art {

const std::array<const char*, 11> kFaceNames = {
    "futu", "fuki", "niko", "sabisi", "uresi", "naku", "okoru", "neru", "byoki", "kuru", "sinu"};

namespace {
Indexed8 blank(int w, int h, uint32_t colour) {
    Indexed8 p;
    p.width = w;
    p.height = h;
    p.palette[0] = colour;
    p.palette[1] = 0x000000;
    p.pixels.assign(size_t(w) * h, 0);
    return p;
}
}  // namespace

// Placeholders until the real drawings land.
Indexed8 room() { return blank(100, 100, 0xffc0d0); }
Indexed8 faceStrip(int condition) { return blank(200, 100, 0x808080 + uint32_t(condition) * 0x101010); }
Indexed8 startStrip() { return blank(200, 100, 0xffe0a0); }

Sound effect(int) {
    Sound s;
    s.data.assign(1100, 128);
    return s;
}

}  // namespace art

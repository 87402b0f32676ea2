// Pictures and sounds of ピコ日記, drawn and synthesised in code so that every
// byte of cg/ can be rebuilt from this repository.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace art {

// An 8-bit paletted picture, rows top to bottom.
struct Indexed8 {
    int width = 0;
    int height = 0;
    std::array<uint32_t, 256> palette{};  // 0x00RRGGBB
    std::vector<uint8_t> pixels;          // width * height palette indexes
};

// The empty pink room with a door, 100 x 100 (shown in the picture before a pet lives).
Indexed8 room();
// The face strip of a condition 0..10 (futu .. sinu): 200 x 100, two 100 x 100 frames.
Indexed8 faceStrip(int condition);
// The strip the window starts with: eyes open (left), eyes closed (right), 200 x 100.
Indexed8 startStrip();

// PCM sound: interleaved samples, 8-bit unsigned or 16-bit signed little-endian.
struct Sound {
    int channels = 1;
    int rate = 11025;
    int bits = 8;
    std::vector<uint8_t> data;
};
// Sound effect n = 1..7 (found/petted, name/fed/talked, killed, points, asleep, crying, happy).
Sound effect(int n);

std::vector<uint8_t> encodeBmp(const Indexed8& picture);   // Windows BMP, 8-bit with palette
std::vector<uint8_t> encodeWav(const Sound& sound);        // RIFF/WAVE PCM

// The base names of the face strips, indexed by condition.
extern const std::array<const char*, 11> kFaceNames;

}  // namespace art

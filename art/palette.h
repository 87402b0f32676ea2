// The one palette of every picture: a few shades per material, pixel-art style.
#pragma once
#include <array>
#include <cstdint>

namespace art::pal {

enum : uint8_t {
    Bg = 0,        // the face pictures' pale backdrop
    BgShade,       // its floor band and the creature's drop shadow
    Ink,           // outlines
    Body,          // the creature: warm cream yellow
    BodyShade,
    BodyLight,
    Blush,
    White,
    Pupil,
    Mouth,
    Tongue,
    Tear,
    TearLight,
    Angry,
    Ill,           // the sick creature's greenish skin
    IllShade,
    IllLight,
    Dead,          // the dead creature's grey skin
    DeadShade,
    DeadLight,
    Sleep,         // the blue of the Z's
    Confused,      // the violet of question marks and swirls
    Heart,
    Gold,          // halo and sparkles
    Wall,          // the room
    WallShade,
    WallLight,
    Floor,
    FloorShade,
    Door,
    DoorShade,
    DoorLight,
    Knob,
    Antenna,
    Sulk,          // the sulky creature's grumble cloud
    Count
};

inline std::array<uint32_t, 256> palette() {
    std::array<uint32_t, 256> p{};
    const uint32_t colours[Count] = {
        0xFFF6E8, 0xF0DCCB, 0x4A2A3A, 0xFFD98A, 0xE9A95C, 0xFFF3C8, 0xFF9AAE, 0xFFFFFF, 0x2A1A2A,
        0xB8344C, 0xFF7A8E, 0x5AAEFF, 0xC8EAFF, 0xE8322C, 0xC6DE8E, 0x93B25E, 0xE6F2BE, 0xCFCFD6,
        0x9E9EAA, 0xEDEDF2, 0x5A6EE0, 0x8E5ACF, 0xFF4F7F, 0xFFC83A, 0xFFC8D8, 0xEFA2B9, 0xFFE2EA,
        0xD9967A, 0xB6735E, 0xA0603A, 0x784226, 0xC88458, 0xFFD65A, 0xFF7FA0, 0x9A9AA6,
    };
    for (int i = 0; i < Count; ++i) p[size_t(i)] = colours[i];
    return p;
}

}  // namespace art::pal

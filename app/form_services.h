// What the main window takes from outside; tests hand in their own.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

class MessageBoxes;
class Random;

// The sound device and the disk are not here: the mixer plays through the
// platform's wave output and my.dat goes through the platform's file layer,
// and tests install their stand-ins there.
struct FormServices {
    MessageBoxes* boxes = nullptr;        // required
    Random* random = nullptr;             // required
    std::string petDir;                   // ends in '/'; holds my.dat and its lock
    std::string cgDir;                    // ends in '/'; the pictures and sounds
    std::function<uint32_t()> clockSeed;  // empty: time of day in milliseconds
};

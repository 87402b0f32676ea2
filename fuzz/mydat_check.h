// What must hold after my.dat's reader has taken any bytes at all: shared by
// the fuzzer and the corpus replay in the ordinary test suite.
#pragma once
#include <string>
#include <string_view>

#include "app/pet_state.h"
#include "app/save_file.h"

// Empty when every rule holds, otherwise what broke.
inline std::string checkParsedPet(std::string_view bytes) {
    PetState pet;
    const int code = parsePet(bytes, pet);
    if (code != 0 && code != kIoInvalidNumber) return "unexpected I/O code " + std::to_string(code);
    if (pet.word_count < 0 || pet.word_count > kWordSlots)
        return "word_count " + std::to_string(pet.word_count) + " outside the slots";
    // Later rules index words with word_count; walk exactly the slots they would.
    size_t used = 0;
    for (int i = 0; i < pet.word_count; ++i) used += pet.words.at(size_t(i)).size();
    // The reader never invents bytes: everything it kept came from the input.
    size_t kept = pet.pet_name.size();
    for (const auto& w : pet.words) kept += w.size();
    if (kept > bytes.size() || used > kept) return "more text kept than was read";
    // A line ends at CR and the input at 0x1A: neither can be inside a value.
    auto clean = [](const std::string& s) { return s.find_first_of("\r\x1a") == std::string::npos; };
    if (!clean(pet.pet_name)) return "CR or 0x1A inside the name";
    for (const auto& w : pet.words)
        if (!clean(w)) return "CR or 0x1A inside a word";
    // Whatever was read must survive the program's own save and load unchanged.
    PetState again;
    if (parsePet(serializePet(pet), again) != 0) return "own save does not load";
    if (!(again == pet)) return "own save loads to a different pet";
    return {};
}

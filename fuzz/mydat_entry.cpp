// my.dat's reader on any bytes: a known code, the word count within the slots, nothing kept that was not
// read, and what it made survives the program's own save and load.
#include <algorithm>
#include <string_view>

#include "app/save_file.h"
#include "fuzz/entries.h"

int FeedMyDat(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto broken = [](const char* what, long long a = 0) { fuzzBroken("my.dat", what, a); };
    PetState pet;
    const int code = parsePet(bytes, pet);
    if (code != 0 && code != kIoInvalidNumber) broken("unexpected I/O code", code);
    if (pet.word_count < 0 || pet.word_count > kWordSlots) broken("word count outside the slots", pet.word_count);
    size_t kept = pet.pet_name.size();
    for (const auto& w : pet.words) kept += w.size();
    if (kept > size) broken("more text kept than was read", static_cast<long long>(kept));
    // A line ends at CR and the input at 0x1A: neither is inside a value.
    auto clean = [](const std::string& v) { return v.find_first_of("\r\x1a") == std::string::npos; };
    if (!clean(pet.pet_name) || !std::all_of(pet.words.begin(), pet.words.end(), clean)) broken("CR or 0x1A in a value");
    if (PetState again; parsePet(serializePet(pet), again) != 0 || !(again == pet)) broken("its own save loads differently");
    return code == 0;
}

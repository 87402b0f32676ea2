// my.dat's reader on any bytes: a known code, the word count within the slots, nothing kept that was not
// read, no CR (a line's end) or 0x1A (the input's) inside a value, and the program's own save loads back.
#include <string_view>

#include "app/save_file.h"
#include "fuzz/entries.h"

int FeedMyDat(const uint8_t* data, size_t size) {
    auto broken = [](const char* what, long long a = 0) { fuzzBroken("my.dat", what, a); };
    PetState pet, again;
    const int code = parsePet(std::string_view(reinterpret_cast<const char*>(data), size), pet);
    if (code != 0 && code != kIoInvalidNumber) broken("unexpected I/O code", code);
    if (pet.word_count < 0 || pet.word_count > kWordSlots) broken("word count outside the slots", pet.word_count);
    std::string kept = pet.pet_name;
    for (const std::string& w : pet.words) kept += w;
    if (kept.size() > size) broken("more text kept than was read", static_cast<long long>(kept.size()));
    if (kept.find_first_of("\r\x1a") != std::string::npos) broken("CR or 0x1A in a value");
    if (parsePet(serializePet(pet), again) != 0 || !(again == pet)) broken("its own save loads differently");
    return code == 0;
}

#include "app/listen.h"

#include <array>

#include "app/life_clock.h"
#include "platform/cp932.h"

std::string storableLine(std::string_view line) {
    // None of these bytes can be the second byte of a CP932 character, so
    // dropping them never splits one.
    std::string out;
    out.reserve(line.size());
    for (char c : line)
        if (c != '\r' && c != '\n' && c != '\x1a') out.push_back(c);
    return out;
}

Heard listen(PetState& pet, std::string_view typed, Random& random) {
    static const std::array<std::string, 4> babble = {cp932("ギーギー"), cp932("ウムウム"), cp932("ン？"),
                                                      cp932("ギムギム")};
    static const std::array<std::string, 5> tired = {cp932("・・・・・"), cp932("ハァ・・ハァ"), cp932("ふぅ"),
                                                     cp932("ギュイー・・・"), cp932("ハァハァ・・・")};
    static const std::array<std::string, 5> surly = {cp932("・・・・・"), cp932("ツン"), cp932("ふん"),
                                                     cp932("うるせーよ・・"), cp932("話しかけんな！")};
    Heard h;
    const std::string line = storableLine(typed);
    if (line.empty()) return h;
    h.heard = true;
    h.sounds.push_back("2.wav");
    addPoints(pet, random(100), h.sounds);
    if (const int32_t b = random(8); b < 4) h.reply = babble[size_t(b)];
    if (pet.vigor <= 4) {
        addWrapping(pet.morals, -1);
        addWrapping(pet.vigor, -1);
        h.reply = tired[size_t(random(5))];
    }
    if (pet.morals <= 4) {
        addWrapping(pet.morals, -1);
        addWrapping(pet.vigor, -1);
        if (const int32_t s = random(8); s < 5) h.reply = surly[size_t(s)];
    }
    if (random(4) == 0) addWrapping(pet.intellect, 1);
    if (pet.word_count < 0) pet.word_count = 0;
    if (pet.word_count < kWordSlots) {
        pet.words[size_t(pet.word_count)] = line;
        ++pet.word_count;
        h.learned = true;
    } else {
        pet.word_count = kWordSlots;
    }
    return h;
}

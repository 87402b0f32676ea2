#include "app/life_clock.h"

#include "app/badges.h"
#include "platform/cp932.h"

namespace {

std::string arkCaption(int32_t points) {
    const auto& lv = arkBadgeCaptions();
    if (points > 15000) return lv[2];
    if (points > 10000) return lv[1];
    if (points > 5000) return lv[0];
    return {};
}

std::string intellectCaption(int32_t words) {
    // Lv4 waits for 50 words, not 40.
    const auto& lv = intellectBadgeCaptions();
    if (words > 50) return lv[3];
    if (words > 30) return lv[2];
    if (words > 20) return lv[1];
    if (words > 10) return lv[0];
    return {};
}

void clampHigh(int32_t& v) {
    if (v > 20) v = 20;
}
void clampLow(int32_t& v) {
    if (v < 0) v = 0;
}

}  // namespace

void addPoints(PetState& pet, int32_t amount, Sounds& sounds) {
    sounds.push_back("4.wav");
    addWrapping(pet.ark_points, amount);
}

std::string statusText(const PetState& pet) {
    static const std::string age = cp932("　年齢"), intellect = cp932("　知能"), morals = cp932("モラル"),
                             vigor = cp932("　元気");
    const auto line = [](const std::string& label, int32_t v) { return label + std::to_string(v) + "/20"; };
    return line(age, pet.age) + '\r' + line(intellect, pet.intellect) + '\r' + line(morals, pet.morals) + '\r' +
           line(vigor, pet.vigor);
}

StatusTick statusTick(PetState& pet, bool petLives) {
    static const std::string pointsSuffix = cp932("点"), died = cp932("は死んだ・・・"),
                             oldAge = cp932("は寿命で死んだ・・・");
    StatusTick t;
    t.showArkBadge = pet.ark_points > 5000;
    t.arkCaption = arkCaption(pet.ark_points);
    t.showIntellectBadge = pet.word_count > 10;
    t.intellectCaption = intellectCaption(pet.word_count);
    if (!petLives) return t;
    t.refresh = true;
    t.name = pet.pet_name;
    t.status = statusText(pet);
    t.points = std::to_string(pet.ark_points) + pointsSuffix;
    if (pet.condition == sinu)
        t.death = pet.pet_name + died;
    else if (pet.age > 20)
        t.death = pet.pet_name + oldAge;
    else
        clampGauges(pet);
    return t;
}

void resetAfterDeath(PetState& pet) {
    pet.age = 1;
    pet.intellect = 1;
    pet.morals = 10;
    pet.vigor = 10;
    pet.condition = sinu;
    pet.ark_points = 0;
}

void finishDeath(PetState& pet) {
    resetAfterDeath(pet);
    clampGauges(pet);
}

void clampGauges(PetState& pet) {
    clampHigh(pet.intellect);
    clampHigh(pet.morals);
    clampHigh(pet.vigor);
    clampLow(pet.intellect);
    clampLow(pet.morals);
    clampLow(pet.vigor);
}

Sounds needsTick(PetState& pet, Random& random, bool petLives) {
    Sounds sounds;
    if (!petLives || pet.condition == neru) return sounds;
    if (pet.vigor <= 3 && random(2) == 0) addWrapping(pet.morals, -1);
    if (random(3) == 0) addWrapping(pet.morals, -1);
    addWrapping(pet.vigor, 1);
    addWrapping(pet.fullness, -1);
    pet.condition = futu;
    if (random(2) == 0) {
        // Mood table A.
        switch (pet.morals) {
            case 0: case 1: pet.condition = naku; break;
            case 2: pet.condition = okoru; break;
            case 3: pet.condition = sabisi; break;
            case 4: case 5: pet.condition = fuki; break;
            case 12: case 13: pet.condition = niko; addPoints(pet, 50, sounds); break;
            case 15: case 16: case 17: pet.condition = uresi; addPoints(pet, 200, sounds); break;
            case 20: pet.condition = kuru; addPoints(pet, 400, sounds); break;
            default: break;
        }
        return sounds;
    }
    // Body tables B to E; a later table overrides the condition, points stay paid.
    if (pet.vigor == 17) {
        pet.condition = niko;
        addPoints(pet, 300, sounds);
    } else if (pet.vigor >= 18 && pet.vigor <= 20) {
        pet.condition = uresi;
        addPoints(pet, 500, sounds);
    }
    if (pet.vigor == 0) pet.condition = sinu;
    else if (pet.vigor == 1 || pet.vigor == 2) pet.condition = byoki;
    else if (pet.vigor == 3) pet.condition = fuki;
    if (pet.fullness >= -255 && pet.fullness <= 0) pet.condition = sinu;
    else if (pet.fullness == 1 || pet.fullness == 2) pet.condition = byoki;
    else if (pet.fullness == 3) pet.condition = fuki;
    switch (pet.age) {
        case 5: addPoints(pet, 500, sounds); break;
        case 10: addPoints(pet, 1000, sounds); break;
        case 15: addPoints(pet, 3000, sounds); break;
        case 20: addPoints(pet, 5000, sounds); break;
        default: break;
    }
    return sounds;
}

Sounds agingTick(PetState& pet) {
    Sounds sounds;
    addWrapping(pet.age, 1);
    addPoints(pet, 1000, sounds);
    addWrapping(pet.intellect, 1);
    addWrapping(pet.morals, 1);
    addWrapping(pet.vigor, 1);
    return sounds;
}

void sleepTick(PetState& pet, Random& random) {
    if (random(2) == 0) return;
    if (pet.condition == futu || pet.condition == niko)
        pet.condition = neru;
    else if (pet.condition == neru)
        pet.condition = niko;
}

int conditionSound(const PetState& pet, Random& random) {
    if (random(3) != 0) return 0;
    switch (pet.condition) {
        case neru: return 5;
        case uresi: return 7;
        case naku: return 6;
        default: return 0;
    }
}

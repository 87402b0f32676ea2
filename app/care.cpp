#include "app/care.h"

#include <array>

#include "app/badges.h"
#include "platform/cp932.h"

Sounds findPet(PetState& pet, Random& random) {
    Sounds sounds{"1.wav"};
    pet.age = 1;
    pet.intellect = random(10);
    pet.morals = 5 + random(5);
    pet.vigor = 5 + random(5);
    pet.fullness = 4 + random(5);
    pet.condition = futu;
    pet.ark_points = 0;
    return sounds;
}

Feeding feed(PetState& pet, Random& random) {
    Feeding f;
    f.sounds.push_back("2.wav");
    // Each draw is made only when its test is reached.
    if (pet.condition == neru || (pet.vigor <= 2 && random(3) == 0) || (pet.morals <= 2 && random(2) == 0)) {
        f.refused = true;
        return f;
    }
    addWrapping(pet.fullness, 3);
    if (random(2) == 0) addWrapping(pet.vigor, -1);
    if (pet.fullness == 17)
        pet.condition = fuki;
    else if (pet.fullness == 18 || pet.fullness == 19)
        pet.condition = byoki;
    else if (pet.fullness >= 20 && pet.fullness <= 255)
        pet.condition = sinu;
    return f;
}

Sounds petPet(PetState& pet, Random& random) {
    Sounds sounds{"1.wav"};
    if (pet.vigor <= 3) addWrapping(pet.vigor, -1);
    if (random(2) == 0) addWrapping(pet.morals, 1);
    if (random(2) == 0) addWrapping(pet.vigor, -1);
    if (pet.condition == neru) {
        pet.condition = random(2) == 0 ? fuki : okoru;
        addWrapping(pet.morals, -1);
    }
    return sounds;
}

Kill kill(const PetState& pet, Random& random) {
    static const std::array<std::string, 9> words = {
        cp932("ひどい・・・・"),
        cp932("、アナタのこと、いい人だと思ってた・・・"),
        cp932("恨んでやる！！"),
        cp932("ギャアアアアア！！"),
        cp932("ウーウー・・・・（息絶えた）"),
        cp932("ろくでなし・・・"),
        cp932("は哀しそうな目をして死んだ"),
        cp932("たすけて・・・  （息絶えた）"),
        cp932("今までアリガトウ・・・"),
    };
    Kill k;
    k.sounds.push_back("3.wav");
    const int32_t n = random(9);
    k.lastWords = (n == 1 || n == 6) ? pet.pet_name + words[size_t(n)] : words[size_t(n)];
    return k;
}

const std::string& killQuestion() {
    static const std::string s = cp932("殺しちゃうけどいいの？");
    return s;
}

std::optional<std::string> intellectBadgeMessage(const std::string& caption, int32_t wordCount) {
    static const std::string learned = cp932("個も言葉を覚えたよ！");
    static const std::array<std::pair<std::string, std::string>, 4> levels = {{
        {intellectBadgeCaptions()[0], ""},
        {intellectBadgeCaptions()[1], cp932("もっと頭をよくしよー！")},
        {intellectBadgeCaptions()[2], cp932("すごいぞ！天才さ！")},
        {intellectBadgeCaptions()[3], cp932("げ、いっぱい覚えさせたな！")},
    }};
    for (const auto& [cap, second] : levels) {
        if (caption != cap) continue;
        std::string msg = std::to_string(wordCount) + learned;
        if (!second.empty()) msg += '\r' + second;
        return msg;
    }
    return std::nullopt;
}

std::optional<std::string> arkBadgeMessage(const std::string& caption) {
    static const std::array<std::pair<std::string, std::string>, 3> levels = {{
        {arkBadgeCaptions()[0], cp932("Ａｒｋ５０００点突破やったね！")},
        {arkBadgeCaptions()[1], cp932("Ａｒｋ１００００点突破だよ、すごい！！")},
        {arkBadgeCaptions()[2], cp932("Ａｒｋ１５０００点突破、まじすごい！やばいよ（笑）")},
    }};
    for (const auto& [cap, msg] : levels)
        if (caption == cap) return msg;
    return std::nullopt;
}

const std::string& aboutText() {
    // The home page and mail lines are placeholders of our own under example.jp.
    static const std::string s = cp932(
        "つくった人、ネロリ\r"
        "サークル、トランポ・ハウス\r"
        "つくったひ、１９９９／３／４\r"
        "http://www.example.jp/piko/\r"
        "piko@example.jp\r"
        "感想ちょうだい！");
    return s;
}

#include "app/care.h"

#include <gtest/gtest.h>

#include "app/life_clock.h"
#include "platform/cp932.h"
#include "tests/rules/draws.h"

namespace {
PetState pet() {
    PetState p;
    p.pet_name = cp932("ピコ");
    p.age = 4;
    p.intellect = 5;
    p.morals = 10;
    p.vigor = 10;
    p.fullness = 10;
    p.condition = futu;
    p.ark_points = 777;
    p.word_count = 12;
    p.words[11] = cp932("おはよう");
    return p;
}
}  // namespace

TEST(FindPet, DrawsTheNewGaugesInOrderAndKeepsTheWords) {
    PetState p = pet();
    p.condition = sinu;
    const uint32_t seed = 4242;
    Random replay(seed);
    const int32_t intellect = replay(10), morals = replay(5), vigor = replay(5), fullness = replay(5);
    Random r(seed);
    EXPECT_EQ(findPet(p, r), Sounds{"1.wav"});
    EXPECT_EQ(p.age, 1);
    EXPECT_EQ(p.intellect, intellect);
    EXPECT_EQ(p.morals, 5 + morals);
    EXPECT_EQ(p.vigor, 5 + vigor);
    EXPECT_EQ(p.fullness, 4 + fullness);
    EXPECT_EQ(p.condition, futu);
    EXPECT_EQ(p.ark_points, 0);
    EXPECT_EQ(p.word_count, 12);
    EXPECT_EQ(p.words[11], cp932("おはよう"));
    EXPECT_EQ(r.state(), replay.state());
}

TEST(Feed, ASleepingPetRefusesWithoutADraw) {
    PetState p = pet();
    p.condition = neru;
    p.vigor = 1;
    const PetState before = p;
    Random r(5);
    const Feeding f = feed(p, r);
    EXPECT_EQ(f.sounds, Sounds{"2.wav"});
    EXPECT_TRUE(f.refused);
    EXPECT_EQ(p, before);
    EXPECT_EQ(r.state(), 5u);
}

TEST(Feed, WeakOrSurlyPetsMayRefuse) {
    PetState p = pet();
    p.vigor = 2;
    uint32_t seed = seedFor({is(3, 0)});
    Random r(seed);
    EXPECT_TRUE(feed(p, r).refused);
    EXPECT_EQ(r.state(), stateAfter(seed, {any(3)}));
    EXPECT_EQ(p.fullness, 10);

    p = pet();
    p.vigor = 2;
    p.morals = 2;
    seed = seedFor({not_(3, 0), is(2, 0)});
    Random r2(seed);
    EXPECT_TRUE(feed(p, r2).refused);
    EXPECT_EQ(r2.state(), stateAfter(seed, {any(3), any(2)}));

    p = pet();
    p.morals = 2;  // only the morals draw is made, and it lets the food in
    seed = seedFor({is(2, 1), is(2, 1)});
    Random r3(seed);
    EXPECT_FALSE(feed(p, r3).refused);
    EXPECT_EQ(p.fullness, 13);
    EXPECT_EQ(r3.state(), stateAfter(seed, {any(2), any(2)}));
}

TEST(Feed, FullnessThresholds) {
    const uint32_t keepsVigor = seedFor({is(2, 1)}), losesVigor = seedFor({is(2, 0)});
    struct Case {
        int32_t before;
        int32_t condition;
    };
    for (const Case& c : {Case{13, niko}, Case{14, fuki}, Case{15, byoki}, Case{16, byoki}, Case{17, sinu},
                          Case{252, sinu}, Case{253, niko}, Case{-20, niko}}) {
        PetState p = pet();
        p.condition = niko;
        p.fullness = c.before;
        Random r(keepsVigor);
        const Feeding f = feed(p, r);
        EXPECT_FALSE(f.refused);
        EXPECT_EQ(p.fullness, c.before + 3);
        EXPECT_EQ(p.condition, c.condition) << c.before;
        EXPECT_EQ(p.vigor, 10);
    }
    PetState p = pet();
    Random r(losesVigor);
    feed(p, r);
    EXPECT_EQ(p.vigor, 9);
}

TEST(Pet, WakesASleepingPetCrossly) {
    for (auto [wake, condition] : {std::pair{0, fuki}, {1, okoru}}) {
        PetState p = pet();
        p.condition = neru;
        const uint32_t seed = seedFor({is(2, 0), is(2, 1), is(2, wake)});
        Random r(seed);
        EXPECT_EQ(petPet(p, r), Sounds{"1.wav"});
        EXPECT_EQ(p.condition, condition);
        EXPECT_EQ(p.morals, 10);  // +1 for the stroke, -1 for the rude awakening
        EXPECT_EQ(p.vigor, 10);
        EXPECT_EQ(r.state(), stateAfter(seed, {any(2), any(2), any(2)}));
    }
}

TEST(Pet, TiredPetsLoseVigorAndAwakePetsKeepTheirCondition) {
    PetState p = pet();
    p.vigor = 3;
    p.condition = sabisi;
    const uint32_t seed = seedFor({is(2, 1), is(2, 0)});
    Random r(seed);
    petPet(p, r);
    EXPECT_EQ(p.vigor, 1);
    EXPECT_EQ(p.morals, 10);
    EXPECT_EQ(p.condition, sabisi);
    EXPECT_EQ(r.state(), stateAfter(seed, {any(2), any(2)}));

    PetState none = pet();  // no gate: the stored gauges change even with no pet
    none.condition = sinu;
    Random r2(seedFor({is(2, 0), is(2, 1)}));
    petPet(none, r2);
    EXPECT_EQ(none.morals, 11);
    EXPECT_EQ(none.condition, sinu);
}

TEST(Kill, LastWordsAndTheVocabularyOutlivesThePet) {
    const std::string name = pet().pet_name;
    const std::string expected[9] = {
        cp932("ひどい・・・・"),
        name + cp932("、アナタのこと、いい人だと思ってた・・・"),
        cp932("恨んでやる！！"),
        cp932("ギャアアアアア！！"),
        cp932("ウーウー・・・・（息絶えた）"),
        cp932("ろくでなし・・・"),
        name + cp932("は哀しそうな目をして死んだ"),
        // たすけて・・・  （息絶えた） with two plain spaces
        bytes("82 bd 82 b7 82 af 82 c4 81 45 81 45 81 45 20 20 81 69 91 a7 90 e2 82 a6 82 bd 81 6a"),
        cp932("今までアリガトウ・・・"),
    };
    for (int n = 0; n < 9; ++n) {
        const PetState p = pet();
        Random r(seedFor({is(9, n)}));
        const Kill k = kill(p, r);
        EXPECT_EQ(k.sounds, Sounds{"3.wav"});
        EXPECT_EQ(k.lastWords, expected[n]) << n;
    }
    PetState p = pet();
    Random r(1);
    kill(p, r);
    resetAfterDeath(p);
    findPet(p, r);
    EXPECT_EQ(p.word_count, 12);
    EXPECT_EQ(p.words[11], cp932("おはよう"));
    EXPECT_EQ(killQuestion(), cp932("殺しちゃうけどいいの？"));
}

TEST(Badges, MessagesFollowTheCaption) {
    EXPECT_EQ(intellectBadgeMessage(cp932("知能Lv2"), 23),
              "23" + cp932("個も言葉を覚えたよ！") + "\r" + cp932("もっと頭をよくしよー！"));
    EXPECT_EQ(intellectBadgeMessage(cp932("知能Lv1"), 11), "11" + cp932("個も言葉を覚えたよ！"));
    EXPECT_EQ(intellectBadgeMessage(cp932("知能Lv4"), 60),
              "60" + cp932("個も言葉を覚えたよ！") + "\r" + cp932("げ、いっぱい覚えさせたな！"));
    EXPECT_FALSE(intellectBadgeMessage("Ark Lv1", 23));
    EXPECT_FALSE(intellectBadgeMessage("", 23));
    EXPECT_EQ(arkBadgeMessage("Ark Lv3"), cp932("Ａｒｋ１５０００点突破、まじすごい！やばいよ（笑）"));
    EXPECT_FALSE(arkBadgeMessage(cp932("知能Lv1")));
}

TEST(About, SixLinesWithOurOwnAddresses) {
    const std::string& a = aboutText();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t cr; (cr = a.find('\r', start)) != std::string::npos; start = cr + 1) lines.push_back(a.substr(start, cr - start));
    lines.push_back(a.substr(start));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], cp932("つくった人、ネロリ"));
    EXPECT_EQ(lines[2], cp932("つくったひ、１９９９／３／４"));
    EXPECT_NE(lines[3].find("example.jp"), std::string::npos);
    EXPECT_NE(lines[4].find("@example.jp"), std::string::npos);
    EXPECT_EQ(lines[5], cp932("感想ちょうだい！"));
    EXPECT_EQ(a.find('\n'), std::string::npos);
}

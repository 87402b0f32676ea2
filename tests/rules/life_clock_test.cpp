#include "app/life_clock.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/cp932.h"
#include "tests/rules/draws.h"

namespace {

PetState livingPet() {
    PetState p;
    p.pet_name = cp932("ピコ");
    p.age = 3;
    p.intellect = 5;
    p.morals = 10;
    p.vigor = 10;
    p.fullness = 10;
    p.condition = futu;
    p.word_count = 2;
    p.words[0] = "a";
    p.words[1] = "b";
    return p;
}

// The needs tick's draws for a pet with vigor above 3: morals draw, branch draw.
std::vector<Draw> moodBranch() { return {not_(3, 0), is(2, 0)}; }
std::vector<Draw> bodyBranch() { return {not_(3, 0), is(2, 1)}; }

}  // namespace

TEST(StatusTick, BadgeThresholdsAreStrict) {
    PetState p;
    struct Case {
        int32_t points;
        bool shown;
        std::string caption;
    };
    for (const Case& c : {Case{5000, false, ""}, Case{5001, true, "Ark Lv1"}, Case{10000, true, "Ark Lv1"},
                          Case{10001, true, "Ark Lv2"}, Case{15000, true, "Ark Lv2"}, Case{15001, true, "Ark Lv3"}}) {
        p.ark_points = c.points;
        const StatusTick t = statusTick(p, false);
        EXPECT_EQ(t.showArkBadge, c.shown) << c.points;
        EXPECT_EQ(t.arkCaption, c.caption) << c.points;
    }
    const std::string chinou = bytes("92 6d 94 5c") + "Lv";
    struct WordCase {
        int32_t words;
        bool shown;
        std::string caption;
    };
    for (const WordCase& c : {WordCase{10, false, ""}, WordCase{11, true, chinou + "1"}, WordCase{21, true, chinou + "2"},
                              WordCase{31, true, chinou + "3"}, WordCase{50, true, chinou + "3"},
                              WordCase{51, true, chinou + "4"}}) {
        p.word_count = c.words;
        const StatusTick t = statusTick(p, false);
        EXPECT_EQ(t.showIntellectBadge, c.shown) << c.words;
        EXPECT_EQ(t.intellectCaption, c.caption) << c.words;
    }
}

TEST(StatusTick, WithoutAPetOnlyTheBadgesAreWorkedOut) {
    PetState p = livingPet();
    p.condition = sinu;
    p.age = 30;
    p.vigor = 40;
    p.ark_points = 6000;
    const PetState before = p;
    const StatusTick t = statusTick(p, false);
    EXPECT_TRUE(t.showArkBadge);
    EXPECT_FALSE(t.refresh);
    EXPECT_FALSE(t.death);
    EXPECT_EQ(p, before);  // no clamp, no death while nobody lives
}

TEST(StatusTick, ShowsTheGaugesBeforeClampingThem) {
    PetState p = livingPet();
    p.age = 21 - 1;
    p.intellect = 21;
    p.morals = -3;
    p.vigor = 20;
    p.ark_points = -7;
    StatusTick t = statusTick(p, true);
    ASSERT_TRUE(t.refresh);
    EXPECT_EQ(t.name, p.pet_name);
    // "　年齢20/20\r　知能21/20\rモラル-3/20\r　元気20/20"
    EXPECT_EQ(t.status, bytes("81 40 94 4e 97 ee") + "20/20\r" + bytes("81 40 92 6d 94 5c") + "21/20\r" +
                            bytes("83 82 83 89 83 8b") + "-3/20\r" + bytes("81 40 8c b3 8b 43") + "20/20");
    EXPECT_EQ(t.points, "-7" + bytes("93 5f"));
    EXPECT_EQ(p.intellect, 20);
    EXPECT_EQ(p.morals, 0);
    t = statusTick(p, true);
    EXPECT_NE(t.status.find(bytes("92 6d 94 5c") + "20/20"), std::string::npos);
}

TEST(StatusTick, DeathsAndTheirMessages) {
    PetState p = livingPet();
    p.age = 20;
    EXPECT_FALSE(statusTick(p, true).death);  // 20 is still alive

    p.age = 21;
    p.vigor = 25;
    StatusTick t = statusTick(p, true);
    ASSERT_TRUE(t.death);
    EXPECT_EQ(*t.death, p.pet_name + cp932("は寿命で死んだ・・・"));
    EXPECT_EQ(p.vigor, 25);  // the clamp waits until after the death message

    p.condition = sinu;
    t = statusTick(p, true);
    ASSERT_TRUE(t.death);
    EXPECT_EQ(*t.death, p.pet_name + bytes("82 cd 8e 80 82 f1 82 be 81 45 81 45 81 45"));  // は死んだ・・・

    p.fullness = -4;
    p.ark_points = 900;
    finishDeath(p);
    EXPECT_EQ(p.age, 1);
    EXPECT_EQ(p.intellect, 1);
    EXPECT_EQ(p.morals, 10);
    EXPECT_EQ(p.vigor, 10);
    EXPECT_EQ(p.condition, sinu);
    EXPECT_EQ(p.ark_points, 0);
    EXPECT_EQ(p.fullness, -4);
    EXPECT_EQ(p.pet_name, cp932("ピコ"));
    EXPECT_EQ(p.word_count, 2);
    EXPECT_EQ(p.words[1], "b");
}

TEST(NeedsTick, ASleepingOrAbsentPetDrawsNothingAndKeepsEverything) {
    for (bool lives : {true, false}) {
        PetState p = livingPet();
        p.condition = lives ? neru : sinu;
        const PetState before = p;
        Random r(99);
        EXPECT_TRUE(needsTick(p, r, lives && true).empty());
        EXPECT_EQ(r.state(), 99u);
        EXPECT_EQ(p, before);
    }
    PetState p = livingPet();  // awake, but no pet lives
    Random r(99);
    needsTick(p, r, false);
    EXPECT_EQ(r.state(), 99u);
}

TEST(NeedsTick, WeakPetsDrawOnceMoreForTheirMorals) {
    // Weak pet: vigor draw, morals draw, branch draw.
    PetState p = livingPet();
    p.vigor = 2;
    p.morals = 10;
    const uint32_t seed = seedFor({is(2, 0), is(3, 0), is(2, 0)});
    Random r(seed);
    needsTick(p, r, true);
    EXPECT_EQ(p.morals, 8);
    EXPECT_EQ(p.vigor, 3);
    EXPECT_EQ(p.fullness, 9);
    EXPECT_EQ(r.state(), stateAfter(seed, {any(2), any(3), any(2)}));

    // A pet above vigor 3 skips the first draw altogether.
    PetState q = livingPet();
    const uint32_t s2 = seedFor(moodBranch());
    Random r2(s2);
    needsTick(q, r2, true);
    EXPECT_EQ(q.morals, 10);
    EXPECT_EQ(r2.state(), stateAfter(s2, moodBranch()));
}

TEST(NeedsTick, MoodTable) {
    const uint32_t seed = seedFor(moodBranch());
    struct Case {
        int32_t morals;
        int32_t condition;
        int32_t points;
    };
    for (const Case& c : {Case{-1, futu, 0}, Case{0, naku, 0}, Case{1, naku, 0}, Case{2, okoru, 0}, Case{3, sabisi, 0},
                          Case{4, fuki, 0}, Case{5, fuki, 0}, Case{6, futu, 0}, Case{11, futu, 0}, Case{12, niko, 50},
                          Case{13, niko, 50}, Case{14, futu, 0}, Case{15, uresi, 200}, Case{17, uresi, 200},
                          Case{18, futu, 0}, Case{19, futu, 0}, Case{20, kuru, 400}, Case{21, futu, 0}}) {
        PetState p = livingPet();
        p.morals = c.morals;
        p.condition = okoru;  // whatever it was, the tick starts from futu
        p.ark_points = 10;
        p.age = 5;  // table E belongs to the body branch only
        Random r(seed);
        const Sounds s = needsTick(p, r, true);
        EXPECT_EQ(p.condition, c.condition) << c.morals;
        EXPECT_EQ(p.ark_points, 10 + c.points) << c.morals;
        EXPECT_EQ(s.size(), c.points ? 1u : 0u) << c.morals;
    }
}

TEST(NeedsTick, BodyTablesLaterOnesOverrideButPointsStay) {
    const uint32_t seed = seedFor(bodyBranch());
    const uint32_t weakSeed = seedFor({is(2, 1), not_(3, 0), is(2, 1)});
    struct Case {
        int32_t vigor, fullness, age;  // before the tick (vigor +1, fullness -1 happen first)
        int32_t condition;
        int32_t points;
        size_t sounds;
    };
    for (const Case& c : {
             Case{16, 3, 3, byoki, 300, 1},    // vigor 17 pays, fullness 2 wins the condition
             Case{16, 10, 3, niko, 300, 1},
             Case{17, 10, 3, uresi, 500, 1},
             Case{19, 10, 3, uresi, 500, 1},
             Case{20, 10, 3, futu, 0, 0},      // 21 is no row
             Case{-1, 10, 3, sinu, 0, 0},      // vigor 0
             Case{0, 10, 3, byoki, 0, 0},
             Case{2, 10, 3, fuki, 0, 0},
             Case{2, 4, 3, fuki, 0, 0},        // fullness 3: fuki over fuki
             Case{0, 1, 3, sinu, 0, 0},        // fullness 0 beats vigor 1
             Case{10, -200, 3, sinu, 0, 0},
             Case{10, -254, 3, sinu, 0, 0},    // -255 still starves
             Case{10, -255, 3, futu, 0, 0},    // -256 lies outside every row
             Case{10, 10, 5, futu, 500, 1},
             Case{10, 10, 10, futu, 1000, 1},
             Case{10, 10, 15, futu, 3000, 1},
             Case{18, 10, 20, uresi, 5500, 2},
             Case{10, 10, 6, futu, 0, 0},
         }) {
        PetState p = livingPet();
        p.vigor = c.vigor;
        p.fullness = c.fullness;
        p.age = c.age;
        p.morals = 10;
        Random r(c.vigor <= 3 ? weakSeed : seed);
        const Sounds s = needsTick(p, r, true);
        SCOPED_TRACE(testing::Message() << "vigor " << c.vigor << " fullness " << c.fullness << " age " << c.age);
        EXPECT_EQ(p.condition, c.condition);
        EXPECT_EQ(p.ark_points, c.points);
        EXPECT_EQ(s, Sounds(c.sounds, "4.wav"));
    }
}

TEST(NeedsTick, HungerKillsOnlyOnABodyBranchTick) {
    PetState p = livingPet();
    p.fullness = 1;
    p.morals = 8;
    const uint32_t mood = seedFor(moodBranch());
    Random r(mood);
    needsTick(p, r, true);
    EXPECT_EQ(p.fullness, 0);
    EXPECT_EQ(p.condition, futu);
    Random r2(mood);
    needsTick(p, r2, true);
    EXPECT_EQ(p.fullness, -1);
    EXPECT_EQ(p.condition, futu);
    Random r3(seedFor(bodyBranch()));
    needsTick(p, r3, true);
    EXPECT_EQ(p.fullness, -2);
    EXPECT_EQ(p.condition, sinu);
}

TEST(AgingTick, AgesWithoutAGateAndPaysPoints) {
    PetState p = livingPet();
    p.condition = sinu;
    p.age = 20;
    p.intellect = 20;
    p.ark_points = 4500;
    EXPECT_EQ(agingTick(p), Sounds{"4.wav"});
    EXPECT_EQ(p.age, 21);
    EXPECT_EQ(p.intellect, 21);
    EXPECT_EQ(p.morals, 11);
    EXPECT_EQ(p.vigor, 11);
    EXPECT_EQ(p.ark_points, 5500);
    // The gauge pushed to 21 is shown so, then clamped - and old age strikes.
    p.condition = futu;
    const StatusTick t = statusTick(p, true);
    ASSERT_TRUE(t.death);
    EXPECT_NE(t.death->find(cp932("寿命")), std::string::npos);

    PetState damaged;
    damaged.age = std::numeric_limits<int32_t>::max();
    agingTick(damaged);  // wraps like a 32-bit register, no undefined overflow
    EXPECT_EQ(damaged.age, std::numeric_limits<int32_t>::min());
}

TEST(SleepTick, FallsAsleepOnlyFromFutuOrNiko) {
    const uint32_t acts = seedFor({is(2, 1)}), rests = seedFor({is(2, 0)});
    for (int32_t c = 0; c <= 10; ++c) {
        PetState p;
        p.condition = c;
        Random r(rests);
        sleepTick(p, r);
        EXPECT_EQ(p.condition, c);
        Random r2(acts);
        sleepTick(p, r2);
        const int32_t expected = (c == futu || c == niko) ? neru : c == neru ? niko : c;
        EXPECT_EQ(p.condition, expected) << c;
    }
}

TEST(ConditionSound, OneInThreeTicksForSleepyHappyOrCryingPets) {
    const uint32_t sounds = seedFor({is(3, 0)}), quiet = seedFor({not_(3, 0)});
    PetState p;
    for (auto [c, wave] : {std::pair{neru, 5}, {uresi, 7}, {naku, 6}, {futu, 0}, {okoru, 0}, {sinu, 0}}) {
        p.condition = c;
        Random r(sounds);
        EXPECT_EQ(conditionSound(p, r), wave) << c;
        Random q(quiet);
        EXPECT_EQ(conditionSound(p, q), 0) << c;
    }
}

#include "app/speech.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/cp932.h"
#include "tests/rules/draws.h"

namespace {

PetState pet(int32_t condition = futu) {
    PetState p;
    p.pet_name = cp932("ピコ");
    p.age = 1;
    p.morals = 10;
    p.vigor = 10;
    p.fullness = 10;
    p.condition = condition;
    p.word_count = 1;
    p.words[0] = cp932("やあ");
    return p;
}

// No opener, topic, comment or ending.
const std::vector<Draw> kNoFragments = {not_(3, 0), not_(4, 0), not_(5, 0), not_(3, 0)};

std::vector<Draw> operator+(std::vector<Draw> a, const std::vector<Draw>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Composes with the first seed that makes `draws`, and checks that exactly those were made.
std::optional<std::string> speak(const PetState& p, const std::vector<Draw>& draws) {
    const uint32_t seed = seedFor(draws);
    Random r(seed);
    auto said = composeUtterance(p, r, true);
    EXPECT_EQ(r.state(), stateAfter(seed, draws)) << "a different number of draws";
    return said;
}

}  // namespace

TEST(Speech, NothingWithoutALivingPetOrOnASilentTick) {
    Random r(10);
    EXPECT_FALSE(composeUtterance(pet(), r, false));
    EXPECT_FALSE(composeUtterance(pet(sinu), r, true));
    EXPECT_EQ(r.state(), 10u);
    EXPECT_FALSE(speak(pet(), {is(2, 0)}));
}

TEST(Speech, ALearnedLineComesBackVerbatimWithFragmentsAgeOneReach) {
    PetState p = pet();
    p.word_count = 2;
    p.words[1] = cp932("すいか");
    // age 1: opener and topic indexes are drawn from 0..3, comments from 0..5
    const auto said = speak(p, {is(2, 1), is(2, 1), is(3, 0), is(4, 3), not_(4, 0), is(5, 0), is(6, 4), is(3, 0), is(4, 3)});
    EXPECT_EQ(said, cp932("あのね、すいかだっけ？"));
}

TEST(Speech, TheFullnessLineOverridesTheMoralsLine) {
    PetState p = pet();
    p.morals = 2;
    p.fullness = 2;
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(7, 0), is(7, 1)} + kNoFragments),
              p.pet_name + cp932("のおなか、へった"));
    // A fullness draw beyond its lines leaves the morals line.
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(7, 0), is(7, 5)} + kNoFragments), cp932("嫌い・・"));
    // The tests are strict: morals 4, vigor 4, fullness 4 and 17 draw nothing.
    p.morals = 4;
    p.vigor = 4;
    p.fullness = 17;
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1)} + kNoFragments), cp932("やあ"));
}

TEST(Speech, ALeadIsNeverOverriddenButAMoodCoreIs) {
    PetState p = pet(niko);
    p.morals = 2;
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(8, 3), is(7, 0)} + kNoFragments),
              cp932("えへへ嫌い・・"));
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(8, 0), is(7, 2)} + kNoFragments), cp932("ばかやろ"));
    p.morals = 10;
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(8, 0)} + kNoFragments), cp932("いいかんじ・・"));
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(8, 6)} + kNoFragments), cp932("やあ"));
}

TEST(Speech, AngryIllAndUnknownConditionsHaveNoMoodLine) {
    for (int32_t c : {int32_t(okoru), int32_t(byoki), int32_t(futu), 42, -1})
        EXPECT_EQ(speak(pet(c), std::vector<Draw>{is(2, 1), any(1)} + kNoFragments), cp932("やあ")) << c;
}

TEST(Speech, ASleepingPetNeedsThreeEvenDraws) {
    const PetState p = pet(neru);
    EXPECT_FALSE(speak(p, {is(2, 1), any(1), is(2, 0)}));
    EXPECT_FALSE(speak(p, {is(2, 1), any(1), is(2, 1), is(10, 3), is(2, 0)}));
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(2, 1), is(10, 3), is(2, 1)} + kNoFragments),
              cp932("すやすや・・、やあ"));
    // ｚｚｚ、ムニャ・・ in full-width letters
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(1), is(2, 1), is(10, 0), is(2, 1)} + kNoFragments),
              bytes("82 9a 82 9a 82 9a 81 41 83 80 83 6a 83 83 81 45 81 45"));
}

TEST(Speech, NoWordsTakesSlotZeroAndAnEmptyUtteranceStillBlanksTheLabel) {
    PetState p = pet();
    p.word_count = 0;
    p.words[0] = cp932("ゼロ");
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(0)} + kNoFragments), cp932("ゼロ"));
    p.words[0].clear();
    const auto said = speak(p, std::vector<Draw>{is(2, 1), any(0)} + kNoFragments);
    ASSERT_TRUE(said);
    EXPECT_EQ(*said, "");
}

TEST(Speech, FragmentListsAtFullAge) {
    PetState p = pet();
    p.age = 20;
    const std::vector<Draw> head = {is(2, 1), any(1)};
    // Topic entries 6 and 8 are empty; 5 wraps the name.
    for (int32_t i : {6, 8})
        EXPECT_EQ(speak(p, head + std::vector<Draw>{not_(3, 0), is(4, 0), is(23, i), not_(5, 0), not_(3, 0)}),
                  cp932("やあ"));
    EXPECT_EQ(speak(p, head + std::vector<Draw>{not_(3, 0), is(4, 0), is(23, 5), not_(5, 0), not_(3, 0)}),
              cp932("キミはピコの事、やあ"));
    // Ending 6 is the wave dash 0x81 0x60.
    EXPECT_EQ(speak(p, head + std::vector<Draw>{not_(3, 0), not_(4, 0), not_(5, 0), is(3, 0), is(23, 6)}),
              cp932("やあ") + bytes("81 60"));
    // An opener index beyond the list leaves the slot empty.
    EXPECT_EQ(speak(p, head + std::vector<Draw>{is(3, 0), is(23, 11), not_(4, 0), not_(5, 0), not_(3, 0)}),
              cp932("やあ"));
    EXPECT_EQ(speak(p, head + std::vector<Draw>{not_(3, 0), not_(4, 0), is(5, 0), is(25, 23), not_(3, 0)}),
              cp932("やあって聞いたけど"));
}

TEST(Speech, DamagedAgesAndCountsStayInsideTheTables) {
    EXPECT_EQ(reachRange(1, 3), 4);
    EXPECT_EQ(reachRange(std::numeric_limits<int32_t>::max(), 5), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(reachRange(-10, 3), -7);
    EXPECT_EQ(reachRange(std::numeric_limits<int32_t>::min(), 3), std::numeric_limits<int32_t>::min() + 3);

    PetState p = pet();
    p.age = -10;  // random of a negative range yields 0: the first opener
    EXPECT_EQ(speak(p, {is(2, 1), any(1), is(3, 0), any(-7), not_(4, 0), not_(5, 0), not_(3, 0)}),
              cp932("ギーギー、やあ"));

    for (int i = 0; i < kWordSlots; ++i) p.words[size_t(i)] = "w" + std::to_string(i);
    p.age = std::numeric_limits<int32_t>::max();
    for (int32_t count : {257, 100000, std::numeric_limits<int32_t>::max()}) {
        p.word_count = count;
        for (uint32_t seed = 1; seed < 400; ++seed) {
            Random r(seed);
            const auto said = composeUtterance(p, r, true);
            if (!said) continue;
            // The word is drawn among the 256 slots that exist.
            Random replay(seed);
            replay(2);
            EXPECT_NE(said->find("w" + std::to_string(replay(256))), std::string::npos) << count << " " << seed;
        }
    }
    p.word_count = -4;
    EXPECT_EQ(speak(p, std::vector<Draw>{is(2, 1), any(-4)} + kNoFragments), "w0");
}

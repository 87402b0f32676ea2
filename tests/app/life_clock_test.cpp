// The life clock's ticks: thresholds at their edges, the mood and body tables, the status line's bytes.
#include "app/life_clock.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <limits>
#include <map>
#include "tests/app/helpers.h"

namespace {
using Outcome = std::tuple<int32_t, int32_t, size_t>;  // condition, points earned, "4.wav" count

Outcome tick(PetState p, Random& r) {
    const int32_t before = p.ark_points;
    const Sounds s = needsTick(p, r, true);
    return {p.condition, p.ark_points - before, size_t(std::count(s.begin(), s.end(), "4.wav"))};
}

// Mood table A, by the morals the tick ends with; other morals leave futu and pay nothing.
Outcome moodRow(int32_t morals) {
    static const std::map<int32_t, Outcome> rows = {
        {0, {naku, 0, 0}},    {1, {naku, 0, 0}},    {2, {okoru, 0, 0}},    {3, {sabisi, 0, 0}},
        {4, {fuki, 0, 0}},    {5, {fuki, 0, 0}},    {12, {niko, 50, 1}},   {13, {niko, 50, 1}},
        {15, {uresi, 200, 1}}, {16, {uresi, 200, 1}}, {17, {uresi, 200, 1}}, {20, {kuru, 400, 1}}};
    return rows.contains(morals) ? rows.at(morals) : Outcome{futu, 0, 0};
}
}  // namespace

TEST(Random, IsTheClassicGeneratorSoASeedGivesTheSameLife) {
    // state' = state * 0x08088405 + 1; a draw is the top of n * state'.
    Random r(0);
    EXPECT_EQ(r(100), 0);
    EXPECT_EQ(r(100), 3);
    // Zero and negative ranges (a damaged save) give 0 but still step the state.
    Random z(777), step(777);
    EXPECT_EQ(z(0) + z(-5), 0);
    for (int i = 0; i < 2; ++i) step(9);
    EXPECT_EQ(z.state(), step.state());
}

TEST(StatusTick, BadgesJustPastTheirThresholdsTheGaugesClampedOrADeath) {
    // points, words -> the Ark and the intellect levels shown ("" for no badge)
    for (auto [points, words, ark, intellect] :
         {std::tuple{5000, 10, "", ""}, {5001, 11, "1", "1"}, {10000, 20, "1", "1"}, {10001, 21, "2", "2"},
          {15000, 30, "2", "2"}, {15001, 31, "3", "3"}, {15001, 41, "3", "3"}, {15001, 50, "3", "3"},
          {15001, 51, "3", "4"}}) {
        PetState p;
        std::tie(p.ark_points, p.word_count) = std::tuple(points, words);
        const StatusTick t = statusTick(p, false);
        const std::string arkCaption = *ark ? std::string("Ark Lv") + ark : "";
        const std::string intellectCaption = *intellect ? cp932("知能Lv") + intellect : "";
        EXPECT_EQ(std::tie(t.showArkBadge, t.arkCaption, t.showIntellectBadge, t.intellectCaption),
                  std::tuple(points > 5000, arkCaption, words > 10, intellectCaption)) << points << " " << words;
    }
    // With a pet: the gauges shown as they are, then clamped; or a death carried out.
    PetState p = healthyPet();
    std::tie(p.age, p.intellect, p.morals, p.vigor, p.ark_points) = std::tuple(20, 21, -3, 20, -7);
    const StatusTick t = statusTick(p, true);
    EXPECT_TRUE(t.refresh && !t.death);  // 20 is still alive
    // "　年齢20/20\r　知能21/20\rモラル-3/20\r　元気20/20", "-7点"
    EXPECT_EQ(t.status, "\x81\x40\x94\x4e\x97\xee" "20/20\r\x81\x40\x92\x6d\x94\x5c" "21/20\r"
                        "\x83\x82\x83\x89\x83\x8b-3/20\r\x81\x40\x8c\xb3\x8b\x43" "20/20");
    EXPECT_EQ(t.points, "-7\x93\x5f");
    EXPECT_EQ(std::tie(p.intellect, p.morals, p.vigor), std::tuple(20, 0, 20));  // 21 and -3 clamped, 20 kept
    // Without a pet only the badges are worked out: no clamp, no death.
    std::tie(p.condition, p.vigor) = std::tuple(sinu, 40);
    const PetState before = p;
    EXPECT_FALSE(statusTick(p, false).refresh);
    EXPECT_EQ(p, before);
    p = healthyPet();
    std::tie(p.age, p.vigor) = std::tuple(21, 25);
    const std::string died = "\x8e\x80\x82\xf1\x82\xbe\x81\x45\x81\x45\x81\x45";  // 死んだ・・・
    EXPECT_EQ(statusTick(p, true).death, p.pet_name + "\x82\xcd\x8e\xf5\x96\xbd\x82\xc5" + died);  // は寿命で
    EXPECT_EQ(p.vigor, 25);  // the clamp waits until after the death message
    std::tie(p.age, p.condition, p.fullness, p.ark_points) = std::tuple(3, sinu, -4, 900);
    EXPECT_EQ(statusTick(p, true).death, p.pet_name + "\x82\xcd" + died);  // は
    finishDeath(p);
    PetState reset = healthyPet();  // name, fullness and words outlive the pet
    std::tie(reset.age, reset.intellect, reset.morals, reset.vigor, reset.condition, reset.ark_points, reset.fullness) =
        std::tuple(1, 1, 10, 10, sinu, 0, -4);
    EXPECT_EQ(p, reset);
}

TEST(NeedsTick, NoPetOrASleepingOneChangesNothingElseTheMoodAndBodyTables) {
    for (auto [condition, lives] : {std::pair{neru, true}, {futu, false}}) {
        PetState p = healthyPet();
        p.condition = condition;
        Random r(99), untouched(99);
        EXPECT_TRUE(needsTick(p, r, lives).empty());
        EXPECT_EQ(std::tie(p.condition, p.fullness), std::tuple(condition, 10));
        EXPECT_EQ(r(1000), untouched(1000));  // nothing drawn: the life to come is the same
    }
    // A healthy body gives futu on the other branch; morals may drop by one first.
    for (int32_t morals = -1; morals <= 22; ++morals) {
        PetState p = healthyPet();
        std::tie(p.morals, p.condition) = std::tuple(morals, okoru);  // every tick starts over from futu
        const std::set allowed = {moodRow(morals), moodRow(morals - 1), Outcome{futu, 0, 0}};
        EXPECT_EQ(outcomes([&](Random& r) { return tick(p, r); }), allowed) << morals;
    }
    // vigor, fullness, age before the tick (vigor +1 and fullness -1 come first) -> the body branch's outcome;
    // later body rows override the condition, but the points stay; morals 10 (or 9, 8 after the drops) give
    // futu on the mood branch
    const std::pair<std::tuple<int32_t, int32_t, int32_t>, Outcome> rows[] = {
        {{16, 10, 3}, {niko, 300, 1}},  {{17, 10, 3}, {uresi, 500, 1}}, {{19, 10, 3}, {uresi, 500, 1}},
        {{20, 10, 3}, {futu, 0, 0}},    {{-1, 10, 3}, {sinu, 0, 0}},    {{0, 10, 3}, {byoki, 0, 0}},
        {{1, 10, 3}, {byoki, 0, 0}},    {{2, 10, 3}, {fuki, 0, 0}},     {{3, 10, 3}, {futu, 0, 0}},
        {{16, 3, 3}, {byoki, 300, 1}},  {{10, 4, 3}, {fuki, 0, 0}},     {{10, 2, 3}, {byoki, 0, 0}},
        {{10, 1, 3}, {sinu, 0, 0}},     {{0, 1, 3}, {sinu, 0, 0}},      {{10, -254, 3}, {sinu, 0, 0}},
        {{10, -255, 3}, {futu, 0, 0}},  {{10, 10, 5}, {futu, 500, 1}},  {{10, 10, 10}, {futu, 1000, 1}},
        {{10, 10, 15}, {futu, 3000, 1}}, {{18, 10, 20}, {uresi, 5500, 2}}, {{10, 10, 6}, {futu, 0, 0}},
    };
    for (const auto& [start, body] : rows) {
        PetState p = healthyPet();
        std::tie(p.vigor, p.fullness, p.age) = start;
        EXPECT_EQ(outcomes([&](Random& r) { return tick(p, r); }), (std::set{body, Outcome{futu, 0, 0}}))
            << std::get<0>(start) << " " << std::get<1>(start) << " " << std::get<2>(start);
    }
}

TEST(SleepSoundsAndAging, WhatEachConditionCanBecomeOrSayAndAgingWithoutAGate) {
    for (int32_t c = futu; c <= sinu; ++c) {
        PetState p;
        p.condition = c;
        const std::set<int32_t> next = c == futu || c == niko ? std::set{c, int32_t(neru)}
                                       : c == neru                ? std::set{c, int32_t(niko)}
                                                                  : std::set{c};
        EXPECT_EQ(endings(p, sleepTick, [](const PetState& q) { return q.condition; }), next) << c;
        const int wave = c == neru ? 5 : c == naku ? 6 : c == uresi ? 7 : 0;
        EXPECT_EQ(outcomes([&](Random& r) { return conditionSound(p, r); }), (std::set{0, wave})) << c;
        EXPECT_NEAR(share([&](Random& r) { return conditionSound(p, r) != 0; }), wave ? 1.0 / 3 : 0.0, 0.03) << c;
    }
    // Aging has no gate at all: every gauge ages and it pays.
    PetState p = healthyPet();
    std::tie(p.condition, p.ark_points) = std::tuple(sinu, 4500);
    EXPECT_EQ(agingTick(p), Sounds{"4.wav"});
    EXPECT_EQ(std::tie(p.age, p.intellect, p.morals, p.vigor, p.ark_points), std::tuple(4, 6, 11, 11, 5500));
    p.age = std::numeric_limits<int32_t>::max();  // a damaged save wraps, no undefined overflow
    agingTick(p);
    EXPECT_EQ(p.age, std::numeric_limits<int32_t>::min());
}

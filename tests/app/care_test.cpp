// Care, talk, face and speech: what each state allows, row by row.
#include "app/care.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <limits>
#include "app/badges.h"
#include "app/face.h"
#include "app/listen.h"
#include "app/speech.h"
#include "tests/app/helpers.h"

namespace {
std::set<int32_t> range(int32_t from, int32_t to) {
    std::set<int32_t> s;
    for (int32_t v = from; v <= to; ++v) s.insert(v);
    return s;
}
using Trio = std::tuple<int32_t, int32_t, int32_t>;
// What a pet too old for any fragment says: the lead and the core only.
std::set<std::optional<std::string>> sayings(PetState p) {
    p.age = std::numeric_limits<int32_t>::max();
    return outcomes([&](Random& r) { return composeUtterance(p, r, true); });
}
}  // namespace

TEST(FindAndKill, NewGaugesInTheirRangesTheWordsInheritedAndLastWordsWithTheName) {
    PetState old = healthyPet();
    std::tie(old.condition, old.ark_points, old.word_count) = std::tuple(sinu, 777, 2);
    std::array<std::set<int32_t>, 4> gauges;  // intellect, morals, vigor, fullness
    const auto found = [&](PetState& p, Random& r) {
        EXPECT_EQ(findPet(p, r), Sounds{"1.wav"});
        EXPECT_EQ(std::tie(p.age, p.condition, p.ark_points, p.word_count), std::tuple(1, futu, 0, 2));
        EXPECT_EQ(p.words, old.words);
        for (size_t i = 0; i < 4; ++i) gauges[i].insert(std::array{p.intellect, p.morals, p.vigor, p.fullness}[i]);
    };
    outcomes([&](Random& r) { PetState p = old; found(p, r); return 0; });
    EXPECT_EQ(gauges, (std::array{range(0, 9), range(5, 9), range(5, 9), range(4, 8)}));
    const auto said = outcomes([&](Random& r) { return kill(old, r).lastWords; });
    EXPECT_EQ(said.size(), 9u);
    EXPECT_TRUE(said.count(old.pet_name + cp932("、アナタのこと、いい人だと思ってた・・・")));
    EXPECT_TRUE(said.count(old.pet_name + cp932("は哀しそうな目をして死んだ")));
}

TEST(FeedAndPet, WhoRefusesHowOftenTheFullnessRowsAndWhatPettingDoes) {
    for (auto [start, refusals] : {std::pair{Trio{neru, 10, 10}, 1.0}, {{futu, 10, 10}, 0.0}, {{futu, 3, 3}, 0.0},
                                   {{futu, 2, 10}, 1.0 / 3}, {{futu, 10, 2}, 1.0 / 2}, {{futu, 2, 2}, 2.0 / 3}}) {
        PetState p = healthyPet();
        std::tie(p.condition, p.vigor, p.morals) = start;
        const double refused = share([&](Random& r) {
            PetState q = p;
            const Feeding f = feed(q, r);
            EXPECT_TRUE(f.sounds == Sounds{"2.wav"} && (!f.refused || q == p));  // a refusal changes nothing
            return f.refused;
        });
        EXPECT_NEAR(refused, refusals, 0.03) << std::get<1>(start) << " " << std::get<2>(start);
    }
    // Fed, the pet may tire; the new fullness alone sets the condition.
    for (auto [before, condition] : {std::pair{13, niko}, {14, fuki}, {15, byoki}, {16, byoki}, {17, sinu},
                                     {252, sinu}, {253, niko}, {-20, niko}}) {
        PetState p = healthyPet();
        std::tie(p.condition, p.fullness) = std::tuple(niko, before);
        EXPECT_EQ(endings(p, feed, [](const PetState& q) { return std::tuple(q.fullness, q.condition, q.vigor); }),
                  (std::set<Trio>{{before + 3, condition, 10}, {before + 3, condition, 9}}))
            << before;
    }
    // Petted, a sleeping pet wakes crossly and a weak one tires.
    const std::pair<Trio, std::set<Trio>> rows[] = {
        {{futu, 10, 10}, {{futu, 10, 10}, {futu, 10, 11}, {futu, 9, 10}, {futu, 9, 11}}},
        {{futu, 3, 10}, {{futu, 2, 10}, {futu, 2, 11}, {futu, 1, 10}, {futu, 1, 11}}},
        {{neru, 10, 10}, {{fuki, 10, 9}, {fuki, 10, 10}, {fuki, 9, 9}, {fuki, 9, 10},
                          {okoru, 10, 9}, {okoru, 10, 10}, {okoru, 9, 9}, {okoru, 9, 10}}},
    };
    for (const auto& [start, allowed] : rows) {
        PetState p = healthyPet();
        std::tie(p.condition, p.vigor, p.morals) = start;
        const auto seen = [](const PetState& q) { return Trio{q.condition, q.vigor, q.morals}; };
        EXPECT_EQ(endings(p, petPet, seen), allowed) << std::get<0>(start) << " " << std::get<1>(start);
    }
}

TEST(Badges, EachCaptionHasItsMessageAndNoOtherCaptionHasOne) {
    for (const std::string& caption : arkBadgeCaptions()) EXPECT_TRUE(arkBadgeMessage(caption)) << caption;
    const std::string count = "12" + cp932("個も言葉を覚えたよ！") + "\r";
    for (const std::string& caption : intellectBadgeCaptions())  // the count first; past Lv1 a second line
        EXPECT_EQ(intellectBadgeMessage(caption, 12).value_or("").find(count),
                  caption == intellectBadgeCaptions()[0] ? std::string::npos : 0) << caption;
    EXPECT_FALSE(arkBadgeMessage(intellectBadgeCaptions()[0]) || intellectBadgeMessage("Ark Lv1", 12));
}

TEST(Listen, AnEmptyLineDoesNothingAndAnyOtherIsLearnedAndCosts) {
    for (const char* line : {"", "\r\n", "\x1a\r"}) {
        PetState p = healthyPet();
        Random r(5), untouched(5);
        EXPECT_FALSE(listen(p, line, r).heard);
        EXPECT_TRUE(p == healthyPet() && r(1000) == untouched(1000)) << line;
    }
    std::set<std::string> replies;
    const auto talk = [&](PetState& q, Random& r) {
        const Heard h = listen(q, "a\rb\nc\x1a" "d", r);
        EXPECT_TRUE(h.heard && h.learned && h.sounds == (Sounds{"2.wav", "4.wav"}));
        replies.insert(h.reply);
    };
    const PetState p = healthyPet();
    EXPECT_EQ(endings(p, talk, [](const PetState& q) { return std::pair(q.word_count, q.words[1]); }),
              (std::set<std::pair<int32_t, std::string>>{{2, "abcd"}}));
    EXPECT_EQ(endings(p, talk, [](const PetState& q) { return q.ark_points - 100; }), range(0, 99));
    EXPECT_EQ(endings(p, talk, [](const PetState& q) { return q.intellect; }), range(5, 6));
    EXPECT_EQ(replies.size(), 5u);  // four babbles, or silence
    // The slots fill up to the last and no further; a full pet still answers and pays.
    for (auto [count, learned, countAfter] : {std::tuple{255, true, 256}, {256, false, 256}, {-3, true, 1}}) {
        PetState q = healthyPet();
        std::tie(q.word_count, q.words[255]) = std::tuple(count, "old");
        Random r(1);
        const Heard h = listen(q, "new", r);
        EXPECT_EQ(std::tie(h.heard, h.learned, q.word_count), std::tuple(true, learned, countAfter)) << count;
        EXPECT_EQ(q.words[255], count == 255 ? "new" : "old") << count;
    }
    // Vigor, morals before -> after: each low gauge costs one of each; a tired pet's loss can make it surly.
    using Gauges = std::pair<int32_t, int32_t>;
    for (auto [before, after] : {std::pair{Gauges{5, 5}, Gauges{5, 5}}, {{4, 6}, {3, 5}}, {{5, 4}, {4, 3}},
                                 {{4, 4}, {2, 2}}, {{4, 5}, {2, 3}}}) {
        PetState tired = healthyPet();
        std::tie(tired.vigor, tired.morals) = before;
        EXPECT_EQ(endings(tired, talk, [](const PetState& q) { return Gauges(q.vigor, q.morals); }), std::set{after})
            << before.first << " " << before.second;
    }
}

TEST(Face, AlternatesWhileAPetLivesAndADeadFaceHoldsFrameZero) {
    uint8_t frame = 0;
    EXPECT_TRUE(!faceTick(frame, futu, false).draw && frame == 0);
    for (int expected : {1, 0, 1}) {
        const FaceTick t = faceTick(frame, niko, true);
        EXPECT_EQ(std::tie(t.draw, t.frame, t.strip), std::tuple(true, expected, "niko.bmp"));
    }
    for (int i = 0; i < 2; ++i) EXPECT_EQ(faceTick(frame, sinu, true).frame, 0);
    const FaceTick odd = faceTick(frame, 11, true);  // no strip: the last one keeps alternating
    EXPECT_EQ(std::tie(odd.frame, odd.strip), std::tuple(1, std::nullopt));
    EXPECT_FALSE(faceStripFile(-1));
}

TEST(Speech, SaysEveryLearnedWordAndNothingWithoutAPet) {
    PetState p = healthyPet();
    std::tie(p.word_count, p.words[1], p.words[2]) = std::tuple(3, "W1", "W2");
    EXPECT_EQ(sayings(p), (std::set<std::optional<std::string>>{std::nullopt, "W0", "W1", "W2"}));
    std::tie(p.word_count, p.words[0]) = std::tuple(0, "");  // slot 0 still; an empty one still blanks the label
    EXPECT_EQ(sayings(p), (std::set<std::optional<std::string>>{std::nullopt, ""}));
    Random r(3), untouched(3);
    EXPECT_FALSE(composeUtterance(p, r, false));
    p.condition = sinu;
    EXPECT_FALSE(composeUtterance(p, r, true));
    EXPECT_EQ(r(1000), untouched(1000));
    // A damaged age reaches no further than the largest number.
    EXPECT_EQ(std::tuple(reachRange(1, 3), reachRange(std::numeric_limits<int32_t>::max() - 2, 3)),
              std::tuple(4, std::numeric_limits<int32_t>::max()));
    // A mood row: its core line alone, or one of four leads before the word (7); no row: the word or silence.
    for (int32_t condition : {futu, fuki, niko, sabisi, uresi, naku, okoru, neru, byoki, kuru, PetCondition(11)}) {
        p = healthyPet();
        p.condition = condition;
        const bool row = condition != futu && condition != okoru && condition != byoki && condition != 11;
        EXPECT_EQ(sayings(p).size(), row ? 7u : 2u) << condition;
    }
    // morals, vigor, fullness -> how many gauge rows speak: each has three lines, one with the name
    for (auto [morals, vigor, fullness, rows] : {std::tuple{4, 4, 4, 0}, {3, 10, 10, 1}, {18, 10, 10, 0},
                                                 {19, 10, 10, 1}, {10, 3, 10, 1}, {10, 10, 3, 1}, {10, 10, 17, 0},
                                                 {10, 10, 18, 1}, {3, 10, 3, 2}}) {
        p = healthyPet();
        std::tie(p.morals, p.vigor, p.fullness) = std::tie(morals, vigor, fullness);
        const auto said = sayings(p);
        const auto named = [&](const auto& s) { return s && s->starts_with(p.pet_name); };
        EXPECT_EQ(said.size(), 2u + 3 * rows) << morals << " " << vigor << " " << fullness;
        EXPECT_EQ(std::count_if(said.begin(), said.end(), named), rows);
    }
}

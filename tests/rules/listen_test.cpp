#include "app/listen.h"

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "tests/rules/draws.h"

namespace {
PetState pet() {
    PetState p;
    p.pet_name = cp932("ピコ");
    p.age = 2;
    p.intellect = 5;
    p.morals = 10;
    p.vigor = 10;
    p.fullness = 10;
    p.ark_points = 100;
    p.word_count = 3;
    return p;
}
}  // namespace

TEST(Listen, AnEmptyLineDoesNothingAtAll) {
    for (const char* line : {"", "\r\n", "\x1a"}) {
        PetState p = pet();
        const PetState before = p;
        Random r(8);
        const Heard h = listen(p, line, r);
        EXPECT_FALSE(h.heard);
        EXPECT_TRUE(h.sounds.empty());
        EXPECT_EQ(p, before);
        EXPECT_EQ(r.state(), 8u);
    }
}

TEST(Listen, AnswersPaysAndLearnsTheLineAsTyped) {
    PetState p = pet();
    // points 42, babble "ン？", no intellect
    const uint32_t seed = seedFor({is(100, 42), is(8, 2), not_(4, 0)});
    Random r(seed);
    const Heard h = listen(p, cp932("  こんにちは "), r);
    EXPECT_TRUE(h.heard);
    EXPECT_EQ(h.sounds, (Sounds{"2.wav", "4.wav"}));
    EXPECT_EQ(h.reply, bytes("83 93 81 48"));  // ン？
    EXPECT_EQ(p.ark_points, 142);
    EXPECT_EQ(p.words[3], cp932("  こんにちは "));
    EXPECT_EQ(p.word_count, 4);
    EXPECT_EQ(p.intellect, 5);
    EXPECT_EQ(r.state(), stateAfter(seed, {any(100), any(8), any(4)}));

    // babble draws 4..7 blank the label; intellect grows on a 0
    Random r2(seedFor({any(100), is(8, 6), is(4, 0)}));
    const Heard h2 = listen(p, "x", r2);
    EXPECT_EQ(h2.reply, "");
    EXPECT_EQ(p.intellect, 6);
    EXPECT_EQ(p.word_count, 5);
}

TEST(Listen, TiredAndSurlyPetsDropTwiceInOneCall) {
    PetState p = pet();
    p.vigor = 4;
    p.morals = 5;
    const uint32_t seed = seedFor({any(100), is(8, 0), is(5, 1), is(8, 4), not_(4, 0)});
    Random r(seed);
    const Heard h = listen(p, "a", r);
    EXPECT_EQ(p.morals, 3);
    EXPECT_EQ(p.vigor, 2);
    EXPECT_EQ(h.reply, cp932("話しかけんな！"));
    EXPECT_EQ(r.state(), stateAfter(seed, {any(100), any(8), any(5), any(8), any(4)}));

    // A surly draw of 5..7 keeps the tired reply.
    PetState q = pet();
    q.vigor = 4;
    q.morals = 5;
    Random r2(seedFor({any(100), any(8), is(5, 1), is(8, 6), any(4)}));
    EXPECT_EQ(listen(q, "a", r2).reply, cp932("ハァ・・ハァ"));
}

TEST(Listen, NoLivePetStillLearns) {
    PetState p = pet();
    p.condition = sinu;
    Random r(3);
    const Heard h = listen(p, "hello", r);
    EXPECT_TRUE(h.learned);
    EXPECT_EQ(p.words[3], "hello");
    EXPECT_EQ(p.word_count, 4);
}

TEST(Listen, LineBreaksAndEndOfFileBytesNeverReachTheWords) {
    PetState p = pet();
    Random r(3);
    listen(p, std::string("a\rb\nc\x1a") + cp932("ど"), r);
    EXPECT_EQ(p.words[3], "abc" + cp932("ど"));
}

TEST(Listen, AFullTableStillAnswersButLearnsNoMore) {
    PetState p = pet();
    for (int i = 0; i < kWordSlots; ++i) p.words[size_t(i)] = std::to_string(i);
    p.word_count = 256;
    const PetState before = p;
    Random r(seedFor({is(100, 10), is(8, 0), any(4)}));
    const Heard h = listen(p, "the 257th line", r);
    EXPECT_TRUE(h.heard);
    EXPECT_FALSE(h.learned);
    EXPECT_EQ(h.sounds, (Sounds{"2.wav", "4.wav"}));
    EXPECT_EQ(h.reply, cp932("ギーギー"));
    EXPECT_EQ(p.ark_points, 110);
    EXPECT_EQ(p.word_count, 256);
    EXPECT_EQ(p.words, before.words);

    // A damaged count above the table is brought back to what the table holds.
    p.word_count = 2147483647;
    listen(p, "again", r);
    EXPECT_EQ(p.word_count, 256);
    EXPECT_EQ(p.words, before.words);

    // A negative one counts from the first slot.
    p.word_count = -7;
    listen(p, "first", r);
    EXPECT_EQ(p.word_count, 1);
    EXPECT_EQ(p.words[0], "first");
}

TEST(Listen, TheLastSlotIsFilledByThe256thLine) {
    PetState p = pet();
    p.word_count = 255;
    Random r(1);
    EXPECT_TRUE(listen(p, "last", r).learned);
    EXPECT_EQ(p.words[255], "last");
    EXPECT_EQ(p.word_count, 256);
}

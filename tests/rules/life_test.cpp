// A whole life through the rules alone, ticking the timers in their real
// proportions on a millisecond clock, as the form's timers will.
#include <gtest/gtest.h>

#include "app/care.h"
#include "app/face.h"
#include "app/life_clock.h"
#include "app/speech.h"

TEST(WholeLife, FromSearchToADeathAndTheStoredDeadPet) {
    for (uint32_t seed : {1u, 77u, 2024u, 999999u}) {
        SCOPED_TRACE(seed);
        PetState pet;
        pet.pet_name = "Piko";
        pet.word_count = 1;
        pet.words[0] = "hello";
        Random random(seed);
        findPet(pet, random);
        bool lives = true;  // sagasu_b disabled
        uint8_t frame = 0;
        int agingTicks = 0;
        std::optional<std::string> death;
        for (int ms = 50; ms <= 2300 * 1000 && !death; ms += 50) {
            if (ms % 10000 == 0) needsTick(pet, random, lives);
            if (ms % 110000 == 0) {
                agingTicks += 1;
                agingTick(pet);
            }
            if (ms % 6000 == 0) composeUtterance(pet, random, lives);
            if (ms % 1000 == 0) faceTick(frame, pet.condition, lives);
            if (ms % 15000 == 0) sleepTick(pet, random);
            if (ms % 3000 == 0) conditionSound(pet, random);
            const StatusTick t = statusTick(pet, lives);
            death = t.death;
            if (!death) {
                ASSERT_GE(pet.vigor, 0);
                ASSERT_LE(pet.vigor, 20);
                ASSERT_GE(pet.morals, 0);
                ASSERT_LE(pet.morals, 20);
                ASSERT_GE(pet.intellect, 0);
                ASSERT_LE(pet.intellect, 20);
            }
        }
        // Unfed, hunger ends it early; old age would at the latest after the 20th aging tick.
        ASSERT_TRUE(death);
        EXPECT_LE(agingTicks, 20);
        lives = false;
        finishDeath(pet);
        EXPECT_EQ(pet.condition, sinu);
        EXPECT_EQ(pet.age, 1);
        EXPECT_EQ(pet.words[0], "hello");
        EXPECT_FALSE(statusTick(pet, lives).death);  // with sagasu_b enabled, no second death
    }
}

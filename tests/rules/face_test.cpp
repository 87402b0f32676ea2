#include "app/face.h"

#include <gtest/gtest.h>

#include "app/pet_state.h"

TEST(Face, AlternatesFromFrameOneAndReloadsEveryTick) {
    uint8_t frame = 0;
    FaceTick t = faceTick(frame, futu, true);
    EXPECT_TRUE(t.draw);
    EXPECT_EQ(t.frame, 1);
    EXPECT_EQ(t.strip, "futu.bmp");
    t = faceTick(frame, futu, true);
    EXPECT_EQ(t.frame, 0);
    EXPECT_EQ(t.strip, "futu.bmp");
    // A new condition shows at the next tick without restarting the alternation.
    t = faceTick(frame, neru, true);
    EXPECT_EQ(t.frame, 1);
    EXPECT_EQ(t.strip, "neru.bmp");
    EXPECT_EQ(frame, 1);
}

TEST(Face, ADeadFaceStaysAtFrameZero) {
    uint8_t frame = 0;
    for (int i = 0; i < 3; ++i) {
        const FaceTick t = faceTick(frame, sinu, true);
        EXPECT_EQ(t.frame, 0);
        EXPECT_EQ(t.strip, "sinu.bmp");
    }
    EXPECT_EQ(faceTick(frame, kuru, true).frame, 1);
}

TEST(Face, UnknownConditionsKeepTheLastStripAndStillAlternate) {
    uint8_t frame = 1;
    for (int32_t c : {11, -1, 2147483647}) {
        const FaceTick t = faceTick(frame, c, true);
        EXPECT_TRUE(t.draw);
        EXPECT_FALSE(t.strip) << c;
    }
    EXPECT_EQ(frame, 0);
}

TEST(Face, NoPetChangesNothing) {
    uint8_t frame = 1;
    const FaceTick t = faceTick(frame, futu, false);
    EXPECT_FALSE(t.draw);
    EXPECT_EQ(frame, 1);
    EXPECT_EQ(faceStripFile(sabisi), "sabisi.bmp");
    EXPECT_EQ(faceStripFile(byoki), "byoki.bmp");
}

#include <gtest/gtest.h>

#include "platform/wave_resources.h"

TEST(WaveResources, ModulesKeepTheirOwnNamesAndNumbers) {
    const WaveModule a = CreateWaveModule();
    const WaveModule b = CreateWaveModule();
    AddWaveResource(a, "Bell", {1, 2, 3});
    AddWaveResource(a, 7, {4});
    AddWaveResource(b, "BELL", {5, 6});

    EXPECT_EQ(SizeofWaveResource(FindWaveResource(a, "bELL")), 3u);
    EXPECT_EQ(SizeofWaveResource(FindWaveResource(b, "bell")), 2u);
    EXPECT_EQ(SizeofWaveResource(FindWaveResource(a, uint16_t(7))), 1u);
    EXPECT_EQ(FindWaveResource(b, uint16_t(7)), 0u);
    EXPECT_EQ(FindWaveResource(a, nullptr), 0u);

    // What is loaded stays readable after its module forgets it, until freed.
    const WaveResourceData loaded = LoadWaveResource(FindWaveResource(a, "BELL"));
    RemoveWaveModule(a);
    EXPECT_EQ(FindWaveResource(a, "BELL"), 0u);
    const uint8_t* bytes = LockWaveResource(loaded);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(LoadedWaveResourceCount(), 1u);
    FreeWaveResource(loaded);
    EXPECT_EQ(LoadedWaveResourceCount(), 0u);
    EXPECT_EQ(LockWaveResource(loaded), nullptr);
    RemoveWaveModule(b);
}

#include <gtest/gtest.h>

#include "platform/cp932.h"

TEST(Cp932, KeepsBackslashAndWaveDashBytes) {
    // 0x5C must stay a backslash (not a yen sign) and ～ must be 0x81 0x60 both ways.
    EXPECT_EQ(cp932("\\"), "\x5c");
    EXPECT_EQ(cp932("～"), "\x81\x60");
    EXPECT_EQ(fromCp932("\x81\x60"), "～");
    EXPECT_EQ(cp932("ソ"), "\x83\x5c");  // trail byte 0x5C
    EXPECT_EQ(fromCp932("\x83\x5c"), "ソ");
    EXPECT_EQ(cp932("ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ").size(), 13u);  // half-width kana are single bytes
    EXPECT_EQ(fromCp932("can\xb4t"), "canｴt");
}

TEST(Cp932, MapsInputMethodVariantsToTheirCp932Forms) {
    EXPECT_EQ(toCp932("\u301c"), std::optional<std::string>("\x81\x60"));  // wave dash
    EXPECT_EQ(toCp932("\u2212"), std::optional<std::string>("\x81\x7c"));  // minus
    EXPECT_EQ(toCp932("\u2016"), std::optional<std::string>("\x81\x61"));
    EXPECT_EQ(toCp932("\u2014"), std::optional<std::string>("\x81\x5c"));
    EXPECT_EQ(toCp932("\u00a2\u00a3\u00ac"), std::optional<std::string>("\x81\x91\x81\x92\x81\xca"));
}

TEST(Cp932, RefusesOrReplacesCharactersWithoutACp932Form) {
    EXPECT_EQ(toCp932("a\U0001F600b"), std::nullopt);
    EXPECT_EQ(toCp932Lossy("a\U0001F600b"), "a?b");
    EXPECT_EQ(fromCp932("a\x81"), "a\xEF\xBF\xBD") << "a lone lead byte at the end";
}

// SPDX-License-Identifier: GPL-3.0-or-later
// SealedText: a lock's sealed edit opens under the vault's key only, and holds no plain byte.
#include "vault/sealed_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace korvane {
namespace {

const std::string kKey = "secretyyyyyyyyyyy";
const std::string kOtherKey = "secretzzzzzzzzzzz";

struct SealRow {
    const char* name;
    std::string text;
};

class SealedTextTest : public ::testing::TestWithParam<SealRow> {};

TEST_P(SealedTextTest, OpensUnderItsKeyOnlyAndHoldsNoPlainText) {
    const std::string& text = GetParam().text;
    const SealedText sealed = SealedText::seal(kKey, text);
    ASSERT_FALSE(sealed.empty());
    EXPECT_EQ(sealed.open(kKey), text);
    EXPECT_EQ(sealed.open(kOtherKey), std::nullopt) << "another key must not give noise";
    EXPECT_EQ(sealed.open(""), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SealedTextTest,
    ::testing::Values(SealRow{"Empty", ""}, SealRow{"OneByte", "a"},
                      SealRow{"LessThanABlock", "fifteen-bytes.."},
                      SealRow{"OneBlock", "exactly16bytes.."},
                      SealRow{"PastABlock", "seventeen-bytes.."},
                      SealRow{"GbkAndZeros", std::string("\xD6\xD0\0\xCE\xC4", 5)},
                      SealRow{"Long", std::string(5000, 'x')}),
    [](const ::testing::TestParamInfo<SealRow>& info) { return std::string(info.param.name); });

// The seal is what stays in memory while locked: it must show nothing of the text, and two
// seals of one text must differ (a fixed stream would let equal edits be told apart).
TEST(SealedText, ShowsNoPlainByteAndDiffersEachTime) {
    const std::string marker = "MARKER-2f9c-typed-in-the-editor";
    const std::string text = marker + marker;
    SealedText first = SealedText::seal(kKey, text);
    SealedText second = SealedText::seal(kKey, text);
    const std::string kept(first.enciphered().begin(), first.enciphered().end());
    EXPECT_EQ(kept.find(marker.substr(0, 8)), std::string::npos);
    EXPECT_NE(first.enciphered(), second.enciphered());
    EXPECT_EQ(first.open(kKey), second.open(kKey));

    SealedText moved = std::move(first);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(moved.open(kKey), text);
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(moved.open(kKey), std::nullopt);
}

TEST(SealedText, AKeyTheCipherCannotUseSealsNothing) {
    EXPECT_TRUE(SealedText::seal("short", "text").empty());
    EXPECT_TRUE(SealedText::seal(std::string(60, 'k'), "text").empty());
    EXPECT_EQ(SealedText().open(kKey), std::nullopt);
}

}  // namespace
}  // namespace korvane

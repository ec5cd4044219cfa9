// SPDX-License-Identifier: GPL-3.0-or-later
// Password strength: zxcvbn's estimates cut into five bands, near each band's edges.
#include "tools/password_strength.h"

#include <gtest/gtest.h>

namespace korvane::tools {
namespace {

struct PasswordRow {
    const char* name;
    QString password;
    StrengthLevel expected;
    QString text;
};

void PrintTo(const PasswordRow& row, std::ostream* out) { *out << row.name; }

class PasswordStrengthTest : public ::testing::TestWithParam<PasswordRow> {};

TEST_P(PasswordStrengthTest, LevelAndItsName) {
    const PasswordRow& row = GetParam();
    EXPECT_EQ(password_strength(row.password), row.expected);
    EXPECT_EQ(strength_text(password_strength(row.password)), row.text);
}

// The figures in the comments are zxcvbn's, log2 of the guesses, read from the library before
// the rows were chosen: each row sits close to one side of a band's edge.
INSTANTIATE_TEST_SUITE_P(
    Rows, PasswordStrengthTest,
    ::testing::Values(PasswordRow{"Empty", QString(), StrengthLevel::VeryWeak,
                                  QStringLiteral("很弱")},
                      // 0 bits: a top dictionary word.
                      PasswordRow{"Password", QStringLiteral("password"), StrengthLevel::VeryWeak,
                                  QStringLiteral("很弱")},
                      // 26.3 bits: four characters of every class are still four characters.
                      PasswordRow{"FourMixed", QStringLiteral("Pw-5"), StrengthLevel::VeryWeak,
                                  QStringLiteral("很弱")},
                      // 29.4 bits.
                      PasswordRow{"JustUnderThirty", QStringLiteral("xkcdrules"),
                                  StrengthLevel::VeryWeak, QStringLiteral("很弱")},
                      // 31.0 bits.
                      PasswordRow{"JustOverThirty", QStringLiteral("kx9mq2"), StrengthLevel::Weak,
                                  QStringLiteral("弱")},
                      // 39.9 bits: zxcvbn knows no Chinese words and takes the UTF-8 bytes as
                      // random; the same text lost to "??" on the way would rate very weak.
                      PasswordRow{"ChineseAsUtf8JustUnderForty", QStringLiteral("密码"),
                                  StrengthLevel::Weak, QStringLiteral("弱")},
                      // 46.7 bits.
                      PasswordRow{"OverForty", QStringLiteral("Tr0ub4dor&3"), StrengthLevel::Fair,
                                  QStringLiteral("一般")},
                      // 70.3 bits.
                      PasswordRow{"OverSixty", QStringLiteral("correct horse battery staple"),
                                  StrengthLevel::Strong, QStringLiteral("强")},
                      // 81.3 bits.
                      PasswordRow{"OverEighty", QStringLiteral("Xq7!vR2@pL9#mZ"),
                                  StrengthLevel::VeryStrong, QStringLiteral("很强")}),
    [](const ::testing::TestParamInfo<PasswordRow>& info) { return info.param.name; });

TEST(StrengthForBitsTest, BandEdgesAreThirtyFortySixtyAndEightyBits) {
    const std::pair<double, StrengthLevel> rows[] = {
        {0.0, StrengthLevel::VeryWeak},    {29.99, StrengthLevel::VeryWeak},
        {30.0, StrengthLevel::Weak},       {39.99, StrengthLevel::Weak},
        {40.0, StrengthLevel::Fair},       {59.99, StrengthLevel::Fair},
        {60.0, StrengthLevel::Strong},     {79.99, StrengthLevel::Strong},
        {80.0, StrengthLevel::VeryStrong}, {200.0, StrengthLevel::VeryStrong},
    };
    for (const auto& [bits, expected] : rows) {
        EXPECT_EQ(strength_for_bits(bits), expected) << bits << " bits";
    }
}

}  // namespace
}  // namespace korvane::tools

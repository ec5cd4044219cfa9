// Password strength: zxcvbn's estimates cut at its score bands, near each band's edges.
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

// The figures in the comments are zxcvbn's, log2 of the guesses (10^x in brackets), read from
// the library before the rows were chosen: each row sits close to one side of a band's edge.
INSTANTIATE_TEST_SUITE_P(
    Rows, PasswordStrengthTest,
    ::testing::Values(PasswordRow{"Empty", QString(), StrengthLevel::VeryWeak,
                                  QStringLiteral("很弱")},
                      // 0 bits: a top dictionary word.
                      PasswordRow{"Password", QStringLiteral("password"), StrengthLevel::VeryWeak,
                                  QStringLiteral("很弱")},
                      // 9.60 bits (10^2.89): under 10^3, though 9.6 is above 6 and 8 if bits were
                      // read as log10.
                      PasswordRow{"JustUnderAThousand", QStringLiteral("qwerty12"),
                                  StrengthLevel::VeryWeak, QStringLiteral("很弱")},
                      // 10.24 bits (10^3.08).
                      PasswordRow{"JustOverAThousand", QStringLiteral("correct"),
                                  StrengthLevel::Weak, QStringLiteral("弱")},
                      // 15.51 bits (10^4.67).
                      PasswordRow{"ThreeRandom", QStringLiteral("kx9"), StrengthLevel::Weak,
                                  QStringLiteral("弱")},
                      // 20.14 bits (10^6.06).
                      PasswordRow{"JustOverAMillion", QStringLiteral("hello world"),
                                  StrengthLevel::Fair, QStringLiteral("一般")},
                      // 25.85 bits (10^7.78).
                      PasswordRow{"UnderTenToTheEight", QStringLiteral("kx9mq"),
                                  StrengthLevel::Fair, QStringLiteral("一般")},
                      // 29.40 bits (10^8.85).
                      PasswordRow{"OverTenToTheEight", QStringLiteral("xkcdrules"),
                                  StrengthLevel::Strong, QStringLiteral("强")},
                      // 31.02 bits (10^9.34): under 10^10, though over 30 bits.
                      PasswordRow{"UnderTenToTheTen", QStringLiteral("kx9mq2"),
                                  StrengthLevel::Strong, QStringLiteral("强")},
                      // 36.19 bits (10^10.89).
                      PasswordRow{"OverTenToTheTen", QStringLiteral("kx9mq2v"),
                                  StrengthLevel::VeryStrong, QStringLiteral("很强")},
                      PasswordRow{"LongRandom", QStringLiteral("Xq7!vR2@pL9#mZ4%wT8&"),
                                  StrengthLevel::VeryStrong, QStringLiteral("很强")},
                      // zxcvbn knows no Chinese words and takes the UTF-8 bytes as random (39.86
                      // bits); the same text lost to "??" on the way would rate very weak.
                      PasswordRow{"ChineseAsUtf8", QStringLiteral("密码"),
                                  StrengthLevel::VeryStrong, QStringLiteral("很强")}),
    [](const ::testing::TestParamInfo<PasswordRow>& info) { return info.param.name; });

TEST(StrengthForBitsTest, BandEdgesAreTenToTheThreeSixEightAndTen) {
    // log2 of 10^3, 10^6, 10^8 and 10^10 are 9.966, 19.932, 26.575 and 33.219.
    const std::pair<double, StrengthLevel> rows[] = {
        {0.0, StrengthLevel::VeryWeak},     {9.96, StrengthLevel::VeryWeak},
        {9.97, StrengthLevel::Weak},        {19.93, StrengthLevel::Weak},
        {19.94, StrengthLevel::Fair},       {26.57, StrengthLevel::Fair},
        {26.58, StrengthLevel::Strong},     {33.21, StrengthLevel::Strong},
        {33.22, StrengthLevel::VeryStrong}, {200.0, StrengthLevel::VeryStrong},
    };
    for (const auto& [bits, expected] : rows) {
        EXPECT_EQ(strength_for_bits(bits), expected) << bits << " bits";
    }
}

}  // namespace
}  // namespace korvane::tools

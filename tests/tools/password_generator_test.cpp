// SPDX-License-Identifier: GPL-3.0-or-later
// The password generator: length, classes, presence of each checked class, refusals.
#include "tools/password_generator.h"

#include <gtest/gtest.h>

#include <set>

namespace korvane::tools {
namespace {

bool contains_any(const std::string& s, std::string_view chars) {
    return s.find_first_of(chars) != std::string::npos;
}

TEST(PasswordGeneratorTest, HonoursLengthAndClassesOverManyDraws) {
    struct Case {
        CharClasses classes;
        std::string allowed;
    };
    const std::string symbols(kSymbolChars);
    const Case cases[] = {
        {{true, false, false, false}, std::string(kLowerChars)},
        {{false, false, true, true}, std::string(kDigitChars) + symbols},
        {{true, true, false, true}, std::string(kLowerChars) + std::string(kUpperChars) + symbols},
        {{true, true, true, true},
         std::string(kLowerChars) + std::string(kUpperChars) + std::string(kDigitChars) + symbols},
    };
    for (const Case& c : cases) {
        std::set<char> seen;
        for (int length : {4, 5, 12, 50}) {
            for (int draw = 0; draw < 300; ++draw) {
                auto password = generate_password(length, c.classes);
                ASSERT_TRUE(password.ok()) << password.error().toStdString();
                ASSERT_EQ(int(password->size()), length);
                ASSERT_EQ(password->find_first_not_of(c.allowed), std::string::npos) << *password;
                EXPECT_EQ(contains_any(*password, kLowerChars), c.classes.lower) << *password;
                EXPECT_EQ(contains_any(*password, kUpperChars), c.classes.upper) << *password;
                EXPECT_EQ(contains_any(*password, kDigitChars), c.classes.digits) << *password;
                EXPECT_EQ(contains_any(*password, kSymbolChars), c.classes.symbols) << *password;
                seen.insert(password->begin(), password->end());
            }
        }
        // Over ~20 000 characters every allowed one turns up; a skewed pick would miss some.
        EXPECT_EQ(seen.size(), c.allowed.size());
    }
}

TEST(PasswordGeneratorTest, GuaranteedCharactersAreNotStuckAtTheFront) {
    std::set<std::size_t> digit_positions;
    for (int draw = 0; draw < 400; ++draw) {
        auto password = generate_password(8, {true, false, true, false});
        ASSERT_TRUE(password.ok());
        digit_positions.insert(password->find_first_of(kDigitChars));
    }
    EXPECT_GE(digit_positions.size(), 6u);
}

TEST(PasswordGeneratorTest, RefusesLengthsOutOfRangeAndNoClass) {
    const CharClasses all{true, true, true, true};
    EXPECT_FALSE(generate_password(0, all).ok());
    EXPECT_FALSE(generate_password(51, all).ok());
    EXPECT_FALSE(generate_password(-3, all).ok());
    EXPECT_FALSE(generate_password(10, CharClasses{}).ok());
    EXPECT_FALSE(generate_password(3, all).ok());
    EXPECT_TRUE(generate_password(1, {false, true, false, false}).ok());
    EXPECT_TRUE(generate_password(50, all).ok());
}

}  // namespace
}  // namespace korvane::tools

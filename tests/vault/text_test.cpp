// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of GBK conversion, character-boundary cutting and master password padding.
#include "vault/text.h"

#include <gtest/gtest.h>

#include "vault/vault_record.h"

namespace korvane::text {
namespace {

const QString kTitle = QStringLiteral("标题");

TEST(GbkEncodingTest, ChineseTextBecomesKnownCodePage936Bytes) {
    auto bytes = to_gbk(QStringLiteral("我的密码"), kTitle);
    ASSERT_TRUE(bytes.ok()) << bytes.error().toStdString();
    EXPECT_EQ(*bytes, "\xce\xd2\xb5\xc4\xc3\xdc\xc2\xeb");
    EXPECT_EQ(*bytes, kRootCategory);

    // Code page 936 keeps ASCII as is and has the euro sign as the single byte 0x80.
    auto mixed = to_gbk(QStringLiteral("QQ号：a1，€"), kTitle);
    ASSERT_TRUE(mixed.ok()) << mixed.error().toStdString();
    EXPECT_EQ(*mixed,
              "QQ\xba\xc5\xa3\xba"
              "a1\xa3\xac\x80");
    EXPECT_EQ(from_gbk(*mixed), QStringLiteral("QQ号：a1，€"));
    EXPECT_TRUE(is_valid_gbk(*mixed));

    auto empty = to_gbk(QString(), kTitle);
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(*empty, "");
}

TEST(GbkEncodingTest, RefusesCharacterOutsideGbkNamingFieldAndCharacter) {
    auto emoji = to_gbk(QStringLiteral("密码😀"), kTitle);
    ASSERT_FALSE(emoji.ok());
    EXPECT_EQ(emoji.error(), QStringLiteral("“标题”中含有无法保存的字符：😀"));

    // The first offending character is named, not whatever follows it.
    auto arabic = to_gbk(QStringLiteral("ab\u0639cd😀"), QStringLiteral("备注"));
    ASSERT_FALSE(arabic.ok());
    EXPECT_EQ(arabic.error(), QStringLiteral("“备注”中含有无法保存的字符：\u0639"));
}

TEST(GbkEncodingTest, RefusesLoneSurrogates) {
    for (const QString& text : {QStringLiteral("ab") + QChar(0xD83D),
                                QStringLiteral("a") + QChar(0xDE00) + QStringLiteral("b")}) {
        auto bytes = to_gbk(text, kTitle);
        ASSERT_FALSE(bytes.ok());
        EXPECT_TRUE(bytes.error().contains(kTitle));
    }
}

TEST(GbkDecodingTest, InvalidBytesEachBecomeOneReplacementCharacter) {
    // 0xFF is never valid; 0x81 followed by a space is a lead byte without a trail; a lead byte
    // at the very end is incomplete. The valid text around them survives.
    const std::string bytes = std::string("A\xff") + kRootCategory + "\x81 B\xff\xff\x81";
    const QString shown = from_gbk(bytes);
    EXPECT_EQ(shown, QStringLiteral("A\uFFFD我的密码\uFFFD B\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(shown.count(QChar(0xFFFD)), 5);
    EXPECT_FALSE(is_valid_gbk(bytes));
    EXPECT_FALSE(is_valid_gbk("\xce\x7f"));  // 0x7F is no trail byte
}

TEST(CharBoundaryTest, CuttingMixedTextNeverLeavesHalfACharacter) {
    // Odd ASCII runs shift the Chinese characters to odd offsets; trail bytes such as 0xEB of
    // 码 also lie in the lead byte range, which trips a backwards search.
    auto encoded = to_gbk(QStringLiteral("a我的密码bc工商银行d账号e备注信息1234567"), kTitle);
    ASSERT_TRUE(encoded.ok());
    const std::string& bytes = *encoded;
    ASSERT_GT(bytes.size(), 30u);

    const std::size_t at30 = prefix_at_char_boundary(bytes, 30);
    EXPECT_EQ(at30, 29u);  // 信 takes bytes 29 and 30
    EXPECT_TRUE(is_valid_gbk(bytes.substr(0, at30)));

    for (std::size_t max = 0; max <= bytes.size() + 2; ++max) {
        const std::size_t cut = prefix_at_char_boundary(bytes, max);
        SCOPED_TRACE(max);
        EXPECT_LE(cut, max);
        EXPECT_LE(cut, bytes.size());
        EXPECT_TRUE(is_valid_gbk(bytes.substr(0, cut)));
        // Longest: at most one byte is given up, and only when that byte starts a pair.
        if (max <= bytes.size()) {
            EXPECT_GE(cut + 1, max);
        }
        EXPECT_TRUE(from_gbk(bytes).startsWith(from_gbk(bytes.substr(0, cut))));
    }
    EXPECT_EQ(prefix_at_char_boundary(bytes, bytes.size() + 5), bytes.size());
}

TEST(CharBoundaryTest, DanglingLeadByteAtEndCountsAsOneByte) {
    EXPECT_EQ(prefix_at_char_boundary("ab\xce", 3), 3u);
    EXPECT_EQ(prefix_at_char_boundary("ab\xce\xd2", 3), 2u);
    EXPECT_EQ(prefix_at_char_boundary("\x80\x80", 1), 1u);  // 0x80 stands alone
}

TEST(MasterPasswordPaddingTest, ShortPasswordsAreFilledToSeventeenBytes) {
    EXPECT_EQ(pad_master_password(""), std::string(17, 'y'));
    EXPECT_EQ(pad_master_password("abc"), "abc" + std::string(14, 'y'));
    EXPECT_EQ(pad_master_password("123456789012345"), "123456789012345yy");
    EXPECT_EQ(pad_master_password("1234567890123456"), "1234567890123456");
    EXPECT_EQ(pad_master_password("12345678901234567890"), "12345678901234567890");
    // "yyy" is itself short: padding counts bytes, not what they are.
    EXPECT_EQ(pad_master_password("yyy"), std::string(17, 'y'));
}

TEST(MasterPasswordPaddingTest, CountsGbkBytesOfChinesePasswords) {
    auto two_chars = to_gbk(QStringLiteral("密码"), kTitle);
    ASSERT_TRUE(two_chars.ok());
    ASSERT_EQ(two_chars->size(), 4u);
    EXPECT_EQ(pad_master_password(*two_chars), *two_chars + std::string(13, 'y'));

    auto eight_chars = to_gbk(QStringLiteral("我的密码我的密码"), kTitle);
    ASSERT_TRUE(eight_chars.ok());
    ASSERT_EQ(eight_chars->size(), 16u);
    EXPECT_EQ(pad_master_password(*eight_chars), *eight_chars);
}

}  // namespace
}  // namespace korvane::text

// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of Md5Digest: the RFC 1321 suite, incremental updates, padding edges and reuse.
#include "vault/md5_digest.h"

#include <gtest/gtest.h>

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <crypto++/md5.h>

#include <string>
#include <string_view>

namespace korvane {
namespace {

std::string to_hex(const Md5Digest::Digest& d) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t c : d) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

Md5Digest::Digest cryptopp_md5(std::string_view s) {
    Md5Digest::Digest d{};
    CryptoPP::Weak::MD5().CalculateDigest(
        d.data(), reinterpret_cast<const CryptoPP::byte*>(s.data()), s.size());
    return d;
}

std::string patterned(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + 7) & 0xff);
    return s;
}

TEST(Md5DigestTest, Rfc1321TestSuite) {
    struct Case {
        const char* message;
        const char* digest;
    };
    constexpr Case kSuite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : kSuite) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(to_hex(Md5Digest::of(c.message)), c.digest);
    }
}

TEST(Md5DigestTest, MatchesCryptoppAcrossPaddingBoundaries) {
    // Lengths around 56 and 64 bytes decide whether the length field spills into an extra block.
    for (std::size_t n = 0; n <= 200; ++n) {
        SCOPED_TRACE(n);
        const std::string msg = patterned(n);
        ASSERT_EQ(to_hex(Md5Digest::of(msg)), to_hex(cryptopp_md5(msg)));
    }
}

TEST(Md5DigestTest, EverySplitPointGivesTheSameDigest) {
    const std::string msg = patterned(150);
    const Md5Digest::Digest whole = Md5Digest::of(msg);
    for (std::size_t split = 0; split <= msg.size(); ++split) {
        SCOPED_TRACE(split);
        Md5Digest md5;
        md5.update(std::string_view(msg).substr(0, split));
        md5.update(std::string_view(msg).substr(split));
        ASSERT_EQ(md5.final(), whole);
    }

    Md5Digest byte_by_byte;
    for (char c : msg) byte_by_byte.update(std::string_view(&c, 1));
    EXPECT_EQ(byte_by_byte.final(), whole);
}

TEST(Md5DigestTest, ObjectIsReusableAfterFinal) {
    constexpr std::string_view kEarlier = "an earlier message that must not leak into the next";
    Md5Digest md5;
    md5.update(kEarlier);
    Md5Digest::Digest first{};
    md5.final(first.data());
    EXPECT_EQ(first, cryptopp_md5(kEarlier));
    EXPECT_EQ(to_hex(md5.final()), "d41d8cd98f00b204e9800998ecf8427e");

    md5.update("ab");
    md5.update("c");
    EXPECT_EQ(to_hex(md5.final()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5DigestTest, BitCountCarriesPastThirtyTwoBits) {
    // 2^29 bytes is 2^32 bits: the low count word wraps and must carry into the high one.
    const std::string chunk = patterned(1 << 20);
    Md5Digest ours;
    CryptoPP::Weak::MD5 theirs;
    for (int i = 0; i < 513; ++i) {
        ours.update(chunk);
        theirs.Update(reinterpret_cast<const CryptoPP::byte*>(chunk.data()), chunk.size());
    }
    ours.update("tail");
    theirs.Update(reinterpret_cast<const CryptoPP::byte*>("tail"), 4);
    Md5Digest::Digest expected{};
    theirs.Final(expected.data());
    EXPECT_EQ(to_hex(ours.final()), to_hex(expected));
}

}  // namespace
}  // namespace korvane

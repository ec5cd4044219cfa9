// SPDX-License-Identifier: GPL-3.0-or-later
// Md5Digest: the RFC 1321 compression function, buffering and padding.
#include "vault/md5_digest.h"

#include <bit>
#include <cstring>

#include "vault/byte_order.h"

namespace korvane {
namespace {

// One step of a round: a = b + ((a + f(b,c,d) + x + t) <<< s), with f already applied.
inline void step(std::uint32_t& a, std::uint32_t b, std::uint32_t f, std::uint32_t x,
                 std::uint32_t t, int s) {
    a = b + std::rotl(a + f + x + t, s);
}

inline std::uint32_t f_fn(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (~x & z);
}
inline std::uint32_t g_fn(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & z) | (y & ~z);
}
inline std::uint32_t h_fn(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t i_fn(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return y ^ (x | ~z);
}

#define FF(a, b, c, d, k, s, t) step(a, b, f_fn(b, c, d), x[k], t, s)
#define GG(a, b, c, d, k, s, t) step(a, b, g_fn(b, c, d), x[k], t, s)
#define HH(a, b, c, d, k, s, t) step(a, b, h_fn(b, c, d), x[k], t, s)
#define II(a, b, c, d, k, s, t) step(a, b, i_fn(b, c, d), x[k], t, s)

}  // namespace

void Md5Digest::init() {
    count_[0] = count_[1] = 0;
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    std::memset(buffer_, 0, sizeof buffer_);
}

void Md5Digest::update(const std::uint8_t* bytes, std::uint32_t length) {
    if (length == 0) return;
    std::uint32_t index = (count_[0] >> 3) & 0x3f;

    // The bit count is kept modulo 2^64 as RFC 1321 requires; carry into the high word by hand.
    const std::uint32_t low_bits = length << 3;
    count_[0] += low_bits;
    if (count_[0] < low_bits) ++count_[1];
    count_[1] += length >> 29;

    const std::uint32_t room = 64 - index;
    std::uint32_t i = 0;
    if (length >= room) {
        std::memcpy(buffer_ + index, bytes, room);
        transform(buffer_);
        for (i = room; i + 63 < length; i += 64) transform(bytes + i);
        index = 0;
    }
    std::memcpy(buffer_ + index, bytes + i, length - i);
}

void Md5Digest::update(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t left = bytes.size();
    // The byte-pointer overload takes a 32-bit length; feed larger views in pieces.
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    while (left > 0) {
        const std::size_t n = left < kChunk ? left : kChunk;
        update(p, static_cast<std::uint32_t>(n));
        p += n;
        left -= n;
    }
}

void Md5Digest::final(std::uint8_t* out) {
    std::uint8_t length[8];
    store_le32(count_[0], length);
    store_le32(count_[1], length + 4);

    // Pad with 0x80 then zeros up to 56 bytes mod 64, leaving room for the 8-byte length.
    static constexpr std::uint8_t kPadding[64] = {0x80};
    const std::uint32_t index = (count_[0] >> 3) & 0x3f;
    const std::uint32_t pad = index < 56 ? 56 - index : 120 - index;
    update(kPadding, pad);
    update(length, 8);

    for (int i = 0; i < 4; ++i) store_le32(state_[i], out + 4 * i);

    // Nothing of the message may linger in the object once the digest is out.
    std::memset(state_, 0, sizeof state_);
    std::memset(count_, 0, sizeof count_);
    std::memset(buffer_, 0, sizeof buffer_);
    init();
}

Md5Digest::Digest Md5Digest::final() {
    Digest d{};
    final(d.data());
    return d;
}

Md5Digest::Digest Md5Digest::of(std::string_view bytes) {
    Md5Digest md5;
    md5.update(bytes);
    return md5.final();
}

void Md5Digest::transform(const std::uint8_t* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load_le32(block + 4 * i);
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

    FF(a, b, c, d, 0, 7, 0xd76aa478);
    FF(d, a, b, c, 1, 12, 0xe8c7b756);
    FF(c, d, a, b, 2, 17, 0x242070db);
    FF(b, c, d, a, 3, 22, 0xc1bdceee);
    FF(a, b, c, d, 4, 7, 0xf57c0faf);
    FF(d, a, b, c, 5, 12, 0x4787c62a);
    FF(c, d, a, b, 6, 17, 0xa8304613);
    FF(b, c, d, a, 7, 22, 0xfd469501);
    FF(a, b, c, d, 8, 7, 0x698098d8);
    FF(d, a, b, c, 9, 12, 0x8b44f7af);
    FF(c, d, a, b, 10, 17, 0xffff5bb1);
    FF(b, c, d, a, 11, 22, 0x895cd7be);
    FF(a, b, c, d, 12, 7, 0x6b901122);
    FF(d, a, b, c, 13, 12, 0xfd987193);
    FF(c, d, a, b, 14, 17, 0xa679438e);
    FF(b, c, d, a, 15, 22, 0x49b40821);

    GG(a, b, c, d, 1, 5, 0xf61e2562);
    GG(d, a, b, c, 6, 9, 0xc040b340);
    GG(c, d, a, b, 11, 14, 0x265e5a51);
    GG(b, c, d, a, 0, 20, 0xe9b6c7aa);
    GG(a, b, c, d, 5, 5, 0xd62f105d);
    GG(d, a, b, c, 10, 9, 0x02441453);
    GG(c, d, a, b, 15, 14, 0xd8a1e681);
    GG(b, c, d, a, 4, 20, 0xe7d3fbc8);
    GG(a, b, c, d, 9, 5, 0x21e1cde6);
    GG(d, a, b, c, 14, 9, 0xc33707d6);
    GG(c, d, a, b, 3, 14, 0xf4d50d87);
    GG(b, c, d, a, 8, 20, 0x455a14ed);
    GG(a, b, c, d, 13, 5, 0xa9e3e905);
    GG(d, a, b, c, 2, 9, 0xfcefa3f8);
    GG(c, d, a, b, 7, 14, 0x676f02d9);
    GG(b, c, d, a, 12, 20, 0x8d2a4c8a);

    HH(a, b, c, d, 5, 4, 0xfffa3942);
    HH(d, a, b, c, 8, 11, 0x8771f681);
    HH(c, d, a, b, 11, 16, 0x6d9d6122);
    HH(b, c, d, a, 14, 23, 0xfde5380c);
    HH(a, b, c, d, 1, 4, 0xa4beea44);
    HH(d, a, b, c, 4, 11, 0x4bdecfa9);
    HH(c, d, a, b, 7, 16, 0xf6bb4b60);
    HH(b, c, d, a, 10, 23, 0xbebfbc70);
    HH(a, b, c, d, 13, 4, 0x289b7ec6);
    HH(d, a, b, c, 0, 11, 0xeaa127fa);
    HH(c, d, a, b, 3, 16, 0xd4ef3085);
    HH(b, c, d, a, 6, 23, 0x04881d05);
    HH(a, b, c, d, 9, 4, 0xd9d4d039);
    HH(d, a, b, c, 12, 11, 0xe6db99e5);
    HH(c, d, a, b, 15, 16, 0x1fa27cf8);
    HH(b, c, d, a, 2, 23, 0xc4ac5665);

    II(a, b, c, d, 0, 6, 0xf4292244);
    II(d, a, b, c, 7, 10, 0x432aff97);
    II(c, d, a, b, 14, 15, 0xab9423a7);
    II(b, c, d, a, 5, 21, 0xfc93a039);
    II(a, b, c, d, 12, 6, 0x655b59c3);
    II(d, a, b, c, 3, 10, 0x8f0ccc92);
    II(c, d, a, b, 10, 15, 0xffeff47d);
    II(b, c, d, a, 1, 21, 0x85845dd1);
    II(a, b, c, d, 8, 6, 0x6fa87e4f);
    II(d, a, b, c, 15, 10, 0xfe2ce6e0);
    II(c, d, a, b, 6, 15, 0xa3014314);
    II(b, c, d, a, 13, 21, 0x4e0811a1);
    II(a, b, c, d, 4, 6, 0xf7537e82);
    II(d, a, b, c, 11, 10, 0xbd3af235);
    II(c, d, a, b, 2, 15, 0x2ad7d2bb);
    II(b, c, d, a, 9, 21, 0xeb86d391);

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;

    // The decoded block is message data.
    volatile std::uint32_t* wipe = x;
    for (int i = 0; i < 16; ++i) wipe[i] = 0;
}

#undef FF
#undef GG
#undef HH
#undef II

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// MarsCipher: MARS key expansion and the unrolled block encryption and decryption.
#include "vault/mars_cipher.h"

#include <bit>
#include <utility>

#include "vault/byte_order.h"
#include "vault/mars_tables.h"
#include "vault/secure_wipe.h"

namespace korvane {
namespace {

using mars_detail::kFixup;
using mars_detail::kSbox;

constexpr const std::uint32_t* kS0 = kSbox;
constexpr const std::uint32_t* kS1 = kSbox + 256;

// Every helper below is forced inline so that the block functions compile to straight-line code
// that keeps the four data words in registers; a call per round would cost more than the round.
#define KORVANE_MARS_INLINE [[gnu::always_inline]] inline

// Byte j of x as a table index, 0 being the least significant.
KORVANE_MARS_INLINE std::size_t b0(std::uint32_t x) { return x & 0xff; }
KORVANE_MARS_INLINE std::size_t b1(std::uint32_t x) { return (x >> 8) & 0xff; }
KORVANE_MARS_INLINE std::size_t b2(std::uint32_t x) { return (x >> 16) & 0xff; }
KORVANE_MARS_INLINE std::size_t b3(std::uint32_t x) { return x >> 24; }

// The rounds take the data words by reference in their current roles; callers rotate the roles by
// passing the variables in a different order instead of moving values between them.

// Forward mixing round `R` (0..7).
template <int R>
KORVANE_MARS_INLINE void forward_mix(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2,
                                     std::uint32_t& x3) {
    x1 ^= kS0[b0(x0)];
    x1 += kS1[b1(x0)];
    x2 += kS0[b2(x0)];
    x3 ^= kS1[b3(x0)];
    x0 = std::rotr(x0, 24);
    if constexpr (R == 0 || R == 4) x0 += x3;
    if constexpr (R == 1 || R == 5) x0 += x1;
}

template <int R>
KORVANE_MARS_INLINE void forward_unmix(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2,
                                       std::uint32_t& x3) {
    if constexpr (R == 0 || R == 4) x0 -= x3;
    if constexpr (R == 1 || R == 5) x0 -= x1;
    // Index with the bytes of x0 before its rotation so the lookups need not wait for it.
    x3 ^= kS1[b0(x0)];
    x2 -= kS0[b3(x0)];
    x1 -= kS1[b2(x0)];
    x1 ^= kS0[b1(x0)];
    x0 = std::rotl(x0, 24);
}

// Backwards mixing round `R` (0..7).
template <int R>
KORVANE_MARS_INLINE void backward_mix(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2,
                                      std::uint32_t& x3) {
    if constexpr (R == 2 || R == 6) x0 -= x3;
    if constexpr (R == 3 || R == 7) x0 -= x1;
    x1 ^= kS1[b0(x0)];
    x2 -= kS0[b3(x0)];
    x3 -= kS1[b2(x0)];
    x3 ^= kS0[b1(x0)];
    x0 = std::rotl(x0, 24);
}

template <int R>
KORVANE_MARS_INLINE void backward_unmix(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2,
                                        std::uint32_t& x3) {
    // The lookups use the bytes of x0 as they were before this rotation, as in backward_mix.
    x3 ^= kS0[b0(x0)];
    x3 += kS1[b1(x0)];
    x2 += kS0[b2(x0)];
    x1 ^= kS1[b3(x0)];
    x0 = std::rotr(x0, 24);
    if constexpr (R == 2 || R == 6) x0 += x3;
    if constexpr (R == 3 || R == 7) x0 += x1;
}

struct EOut {
    std::uint32_t l, m, r;
};

// The keyed E-function; k2 has been fixed so the multiplication never lands on a weak constant.
KORVANE_MARS_INLINE EOut e_function(std::uint32_t in, std::uint32_t k1, std::uint32_t k2) {
    std::uint32_t m = in + k1;
    std::uint32_t r = std::rotl(in, 13) * k2;
    std::uint32_t l = kSbox[std::size_t{m & 511}];
    r = std::rotl(r, 5);
    m = std::rotl(m, static_cast<int>(r & 31));
    l ^= r;
    r = std::rotl(r, 5);
    l ^= r;
    l = std::rotl(l, static_cast<int>(r & 31));
    return {l, m, r};
}

// Keyed core round; the first eight rounds feed x1 and x3 the other way round from the last eight.
template <bool kFirstHalf>
KORVANE_MARS_INLINE void core_round(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2,
                                    std::uint32_t& x3, const std::uint32_t* k) {
    const EOut e = e_function(x0, k[0], k[1]);
    x0 = std::rotl(x0, 13);
    x2 += e.m;
    if constexpr (kFirstHalf) {
        x1 += e.l;
        x3 ^= e.r;
    } else {
        x3 += e.l;
        x1 ^= e.r;
    }
}

template <bool kFirstHalf>
KORVANE_MARS_INLINE void core_unround(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2,
                                      std::uint32_t& x3, const std::uint32_t* k) {
    x0 = std::rotr(x0, 13);
    const EOut e = e_function(x0, k[0], k[1]);
    x2 -= e.m;
    if constexpr (kFirstHalf) {
        x1 -= e.l;
        x3 ^= e.r;
    } else {
        x3 -= e.l;
        x1 ^= e.r;
    }
}

// Mask of the bits of w that lie strictly inside a run of ten or more equal bits, limited to
// bits 2..30: the positions whose value would make w a weak multiplier.
std::uint32_t weak_run_mask(std::uint32_t w) {
    // Bit l of `same` says w_l == w_(l+1), for l = 0..30.
    const std::uint32_t same = ~(w ^ (w >> 1)) & 0x7fffffff;
    // Start of nine consecutive `same` bits, i.e. of ten equal bits of w.
    std::uint32_t start = same & (same >> 1);
    start &= start >> 2;
    start &= start >> 4;
    start &= same >> 8;
    // All `same` bits that belong to such a run.
    std::uint32_t in_run = start | (start << 1);
    in_run |= in_run << 2;
    in_run |= in_run << 4;
    in_run |= start << 8;
    // w_l is interior when both w_(l-1) == w_l and w_l == w_(l+1) hold inside the run.
    return in_run & (in_run << 1) & 0x7ffffffc;
}

#undef KORVANE_MARS_INLINE

}  // namespace

bool MarsCipher::set_key(const std::uint8_t* key, std::size_t length_bits) {
    const std::size_t n = length_bits / 32;
    if (n < 4 || n > 14 || key == nullptr) {
        // A failed rekey must not leave a previous key usable by mistake.
        k_.fill(0);
        keyed_ = false;
        return false;
    }

    std::uint32_t t[15] = {};
    for (std::size_t j = 0; j < n; ++j) t[j] = load_le32(key + 4 * j);
    t[n] = static_cast<std::uint32_t>(n);

    for (std::uint32_t j = 0; j < 4; ++j) {
        for (std::uint32_t i = 0; i < 15; ++i) {
            t[i] ^= std::rotl(t[(i + 8) % 15] ^ t[(i + 13) % 15], 3) ^ (4 * i + j);
        }
        for (int pass = 0; pass < 4; ++pass) {
            for (std::uint32_t i = 0; i < 15; ++i) {
                t[i] = std::rotl(t[i] + kSbox[t[(i + 14) % 15] & 511], 9);
            }
        }
        for (std::uint32_t i = 0; i < 10; ++i) k_[10 * j + i] = t[(4 * i) % 15];
    }

    for (std::size_t i = 5; i <= 35; i += 2) {
        const std::uint32_t j = k_[i] & 3;
        const std::uint32_t w = k_[i] | 3;
        const std::uint32_t pattern = std::rotl(kFixup[j], static_cast<int>(k_[i - 1] & 31));
        k_[i] = w ^ (pattern & weak_run_mask(w));
    }

    // The expansion state is derived key material.
    volatile std::uint32_t* wipe = t;
    for (int i = 0; i < 15; ++i) wipe[i] = 0;

    keyed_ = true;
    return true;
}

MarsCipher::~MarsCipher() { secure_wipe(k_.data(), sizeof(k_)); }

bool MarsCipher::set_key(std::string_view key_bytes) {
    // Clamp before converting to bits so an absurd length cannot wrap into the accepted range.
    const std::size_t bytes = key_bytes.size() > 64 ? 64 : key_bytes.size();
    return set_key(reinterpret_cast<const std::uint8_t*>(key_bytes.data()), bytes * 8);
}

namespace {

// Runs step(i) for every lane i, unrolled: each round is one long chain of dependent
// operations, so N independent blocks side by side give the core N chains to overlap.
template <std::size_t N, typename Step>
[[gnu::always_inline]] inline void each_lane(Step&& step) {
    [&]<std::size_t... I>(std::index_sequence<I...>) { (step(I), ...); }
    (std::make_index_sequence<N>{});
}

template <std::size_t N>
void encrypt_lanes(const std::uint32_t* k, const std::uint8_t* in, std::uint8_t* out) {
    std::uint32_t a[N], b[N], c[N], d[N];
    each_lane<N>([&](std::size_t i) {
        a[i] = load_le32(in + 16 * i) + k[0];
        b[i] = load_le32(in + 16 * i + 4) + k[1];
        c[i] = load_le32(in + 16 * i + 8) + k[2];
        d[i] = load_le32(in + 16 * i + 12) + k[3];
    });
    each_lane<N>([&](std::size_t i) { forward_mix<0>(a[i], b[i], c[i], d[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<1>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<2>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<3>(d[i], a[i], b[i], c[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<4>(a[i], b[i], c[i], d[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<5>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<6>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { forward_mix<7>(d[i], a[i], b[i], c[i]); });

    each_lane<N>([&](std::size_t i) { core_round<true>(a[i], b[i], c[i], d[i], k + 4); });
    each_lane<N>([&](std::size_t i) { core_round<true>(b[i], c[i], d[i], a[i], k + 6); });
    each_lane<N>([&](std::size_t i) { core_round<true>(c[i], d[i], a[i], b[i], k + 8); });
    each_lane<N>([&](std::size_t i) { core_round<true>(d[i], a[i], b[i], c[i], k + 10); });
    each_lane<N>([&](std::size_t i) { core_round<true>(a[i], b[i], c[i], d[i], k + 12); });
    each_lane<N>([&](std::size_t i) { core_round<true>(b[i], c[i], d[i], a[i], k + 14); });
    each_lane<N>([&](std::size_t i) { core_round<true>(c[i], d[i], a[i], b[i], k + 16); });
    each_lane<N>([&](std::size_t i) { core_round<true>(d[i], a[i], b[i], c[i], k + 18); });
    each_lane<N>([&](std::size_t i) { core_round<false>(a[i], b[i], c[i], d[i], k + 20); });
    each_lane<N>([&](std::size_t i) { core_round<false>(b[i], c[i], d[i], a[i], k + 22); });
    each_lane<N>([&](std::size_t i) { core_round<false>(c[i], d[i], a[i], b[i], k + 24); });
    each_lane<N>([&](std::size_t i) { core_round<false>(d[i], a[i], b[i], c[i], k + 26); });
    each_lane<N>([&](std::size_t i) { core_round<false>(a[i], b[i], c[i], d[i], k + 28); });
    each_lane<N>([&](std::size_t i) { core_round<false>(b[i], c[i], d[i], a[i], k + 30); });
    each_lane<N>([&](std::size_t i) { core_round<false>(c[i], d[i], a[i], b[i], k + 32); });
    each_lane<N>([&](std::size_t i) { core_round<false>(d[i], a[i], b[i], c[i], k + 34); });

    each_lane<N>([&](std::size_t i) { backward_mix<0>(a[i], b[i], c[i], d[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<1>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<2>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<3>(d[i], a[i], b[i], c[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<4>(a[i], b[i], c[i], d[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<5>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<6>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { backward_mix<7>(d[i], a[i], b[i], c[i]); });

    each_lane<N>([&](std::size_t i) {
        store_le32(a[i] - k[36], out + 16 * i);
        store_le32(b[i] - k[37], out + 16 * i + 4);
        store_le32(c[i] - k[38], out + 16 * i + 8);
        store_le32(d[i] - k[39], out + 16 * i + 12);
    });
}

template <std::size_t N>
void decrypt_lanes(const std::uint32_t* k, const std::uint8_t* in, std::uint8_t* out) {
    std::uint32_t a[N], b[N], c[N], d[N];
    each_lane<N>([&](std::size_t i) {
        a[i] = load_le32(in + 16 * i) + k[36];
        b[i] = load_le32(in + 16 * i + 4) + k[37];
        c[i] = load_le32(in + 16 * i + 8) + k[38];
        d[i] = load_le32(in + 16 * i + 12) + k[39];
    });
    each_lane<N>([&](std::size_t i) { backward_unmix<7>(d[i], a[i], b[i], c[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<6>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<5>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<4>(a[i], b[i], c[i], d[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<3>(d[i], a[i], b[i], c[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<2>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<1>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { backward_unmix<0>(a[i], b[i], c[i], d[i]); });

    each_lane<N>([&](std::size_t i) { core_unround<false>(d[i], a[i], b[i], c[i], k + 34); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(c[i], d[i], a[i], b[i], k + 32); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(b[i], c[i], d[i], a[i], k + 30); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(a[i], b[i], c[i], d[i], k + 28); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(d[i], a[i], b[i], c[i], k + 26); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(c[i], d[i], a[i], b[i], k + 24); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(b[i], c[i], d[i], a[i], k + 22); });
    each_lane<N>([&](std::size_t i) { core_unround<false>(a[i], b[i], c[i], d[i], k + 20); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(d[i], a[i], b[i], c[i], k + 18); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(c[i], d[i], a[i], b[i], k + 16); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(b[i], c[i], d[i], a[i], k + 14); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(a[i], b[i], c[i], d[i], k + 12); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(d[i], a[i], b[i], c[i], k + 10); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(c[i], d[i], a[i], b[i], k + 8); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(b[i], c[i], d[i], a[i], k + 6); });
    each_lane<N>([&](std::size_t i) { core_unround<true>(a[i], b[i], c[i], d[i], k + 4); });

    each_lane<N>([&](std::size_t i) { forward_unmix<7>(d[i], a[i], b[i], c[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<6>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<5>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<4>(a[i], b[i], c[i], d[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<3>(d[i], a[i], b[i], c[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<2>(c[i], d[i], a[i], b[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<1>(b[i], c[i], d[i], a[i]); });
    each_lane<N>([&](std::size_t i) { forward_unmix<0>(a[i], b[i], c[i], d[i]); });

    each_lane<N>([&](std::size_t i) {
        store_le32(a[i] - k[0], out + 16 * i);
        store_le32(b[i] - k[1], out + 16 * i + 4);
        store_le32(c[i] - k[2], out + 16 * i + 8);
        store_le32(d[i] - k[3], out + 16 * i + 12);
    });
}

}  // namespace

void MarsCipher::encrypt_block(const std::uint8_t* in, std::uint8_t* out) const {
    encrypt_lanes<1>(k_.data(), in, out);
}

void MarsCipher::decrypt_block(const std::uint8_t* in, std::uint8_t* out) const {
    decrypt_lanes<1>(k_.data(), in, out);
}

void MarsCipher::encrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                                std::size_t count) const {
    std::size_t done = 0;
    for (; done + kLanes <= count; done += kLanes) {
        encrypt_lanes<kLanes>(k_.data(), in + done * kBlockSize, out + done * kBlockSize);
    }
    for (; done < count; ++done) encrypt_block(in + done * kBlockSize, out + done * kBlockSize);
}

void MarsCipher::decrypt_blocks(const std::uint8_t* in, std::uint8_t* out,
                                std::size_t count) const {
    std::size_t done = 0;
    for (; done + kLanes <= count; done += kLanes) {
        decrypt_lanes<kLanes>(k_.data(), in + done * kBlockSize, out + done * kBlockSize);
    }
    for (; done < count; ++done) decrypt_block(in + done * kBlockSize, out + done * kBlockSize);
}

}  // namespace korvane

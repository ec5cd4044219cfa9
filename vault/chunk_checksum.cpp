// SPDX-License-Identifier: GPL-3.0-or-later
// chunk_checksum: four independent multiply-rotate lanes over 8-byte words, folded together.
#include "vault/chunk_checksum.h"

#include <bit>
#include <cstring>

namespace korvane {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::size_t kWord = sizeof(std::uint64_t);
constexpr std::size_t kLanes = 4;

std::uint64_t load_word(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, kWord);
    return word;
}

// For a fixed accumulator this is a bijection of the word, and for a fixed word a bijection of
// the accumulator: one changed word changes the accumulator, and no later step can undo that.
std::uint64_t step(std::uint64_t acc, std::uint64_t word) {
    return std::rotl(acc + word * kPrime2, 31) * kPrime1;
}

// Spreads every input bit over the whole result; also a bijection.
std::uint64_t avalanche(std::uint64_t h) {
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

}  // namespace

std::uint64_t chunk_checksum(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    // Independent lanes let the multiplies overlap instead of waiting on one another.
    std::uint64_t lanes[kLanes] = {kPrime1, kPrime2, kPrime3, ~kPrime1};
    std::size_t i = 0;
    for (; i + kLanes * kWord <= size; i += kLanes * kWord) {
        for (std::size_t k = 0; k < kLanes; ++k)
            lanes[k] = step(lanes[k], load_word(p + i + k * kWord));
    }
    std::uint64_t h = std::uint64_t(size) * kPrime3;
    for (std::uint64_t lane : lanes) h = step(h, lane);
    for (; i + kWord <= size; i += kWord) h = step(h, load_word(p + i));
    if (i < size) {
        std::uint64_t tail = 0;
        std::memcpy(&tail, p + i, size - i);
        h = step(h, tail);
    }
    return avalanche(h);
}

}  // namespace korvane

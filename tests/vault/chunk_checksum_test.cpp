// SPDX-License-Identifier: GPL-3.0-or-later
// chunk_checksum: the changes a disk can make to a chunk must show in its checksum.
#include "vault/chunk_checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace korvane {
namespace {

std::string noise(std::size_t n) {
    std::mt19937 gen(3);
    std::string s(n, '\0');
    for (auto& c : s) c = char(gen());
    return s;
}

std::uint64_t sum_of(const std::string& s) { return chunk_checksum(s.data(), s.size()); }

TEST(ChunkChecksum, EveryFlippedBitChangesIt) {
    // 32-byte lanes, then two trailing words, then a tail shorter than a word.
    const std::string data = noise(4 * 32 + 16 + 5);
    const std::uint64_t original = sum_of(data);
    EXPECT_EQ(sum_of(std::string(data)), original);
    for (std::size_t byte = 0; byte < data.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string changed = data;
            changed[byte] = char(changed[byte] ^ (1 << bit));
            ASSERT_NE(sum_of(changed), original) << "byte " << byte << " bit " << bit;
        }
    }
}

TEST(ChunkChecksum, MovedOrMissingBytesChangeIt) {
    const std::string data = noise(1024);
    std::string swapped = data;
    swapped.replace(0, 16, data.substr(512, 16));
    swapped.replace(512, 16, data.substr(0, 16));
    EXPECT_NE(sum_of(swapped), sum_of(data));
    // Words within one lane, and whole lanes, trading places.
    std::string lane_swapped = data;
    lane_swapped.replace(32, 8, data.substr(64, 8));
    lane_swapped.replace(64, 8, data.substr(32, 8));
    EXPECT_NE(sum_of(lane_swapped), sum_of(data));
    EXPECT_NE(sum_of(data.substr(0, 1008)), sum_of(data));
    // Zeros carry no content of their own: only the length tells these apart.
    EXPECT_NE(sum_of(std::string(16, '\0')), sum_of(std::string(32, '\0')));
    EXPECT_NE(sum_of(std::string(3, '\0')), sum_of(std::string(4, '\0')));
}

}  // namespace
}  // namespace korvane

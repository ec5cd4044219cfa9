// SPDX-License-Identifier: GPL-3.0-or-later
// MarsCipher: the MARS block cipher (revised key schedule) on 16-byte blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvane {

class MarsCipher {
public:
    static constexpr std::size_t kBlockSize = 16;
    static constexpr std::size_t kMinKeyBytes = 16;
    static constexpr std::size_t kMaxKeyBytes = 59;

    // Expands a key of length_bits / 32 whole little-endian words; bytes after the last whole
    // word are ignored. Returns false, leaving the object unkeyed, unless that gives 4 to 14
    // words (16 to 59 bytes of key material).
    bool set_key(const std::uint8_t* key, std::size_t length_bits);
    bool set_key(std::string_view key_bytes);

    MarsCipher() = default;
    // The expanded key is wiped, so a closed vault leaves no key in freed memory.
    ~MarsCipher();
    MarsCipher(const MarsCipher&) = default;
    MarsCipher& operator=(const MarsCipher&) = default;

    bool has_key() const { return keyed_; }

    // in and out may be the same buffer. Requires a successful set_key.
    void encrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    void decrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    // count whole blocks, several at a time: the same bytes as block by block, faster. in and
    // out may be the same buffer, but must not otherwise overlap.
    void encrypt_blocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const;
    void decrypt_blocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const;

    // Convenience for callers that hold key material as text: does it make a key at all?
    static bool is_usable_key_length(std::size_t key_bytes) {
        return key_bytes >= kMinKeyBytes && key_bytes <= kMaxKeyBytes;
    }

private:
    // Blocks in flight at once in the *_blocks functions; more would spill the data words out
    // of the registers.
    static constexpr std::size_t kLanes = 2;

    std::array<std::uint32_t, 40> k_{};
    bool keyed_ = false;
};

}  // namespace korvane

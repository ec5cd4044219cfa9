// SPDX-License-Identifier: GPL-3.0-or-later
// SealedText: text kept in memory while the vault is locked, readable only under its key again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// What a lock keeps of an edit the user had not saved. It is MARS-enciphered under the key
// material of the vault (the padded master password) in counter mode with a fresh random
// nonce, and carries an MD5 of the text inside the enciphered part, so that a different key
// (another program changed the master password while this one was locked) is told apart from
// the right one instead of giving noise. The key material is not kept: while the vault is
// locked nothing here can be read.
class SealedText {
public:
    // An empty seal, which opens to nothing.
    SealedText() = default;
    // Enciphers text under key_material; an unusable key gives an empty seal.
    static SealedText seal(std::string_view key_material, std::string_view text);

    // The text, or nothing when the seal is empty or key_material is not the one it was made
    // under.
    std::optional<std::string> open(std::string_view key_material) const;
    bool empty() const { return bytes_.empty(); }
    // What is kept: the nonce, then the enciphered digest and text.
    const std::vector<std::uint8_t>& enciphered() const { return bytes_; }
    // Forgets the enciphered bytes (they are wiped first).
    void clear();

    ~SealedText();
    SealedText(SealedText&& other) noexcept;
    SealedText& operator=(SealedText&& other) noexcept;
    SealedText(const SealedText&) = delete;
    SealedText& operator=(const SealedText&) = delete;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace korvane

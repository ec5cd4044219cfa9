// SPDX-License-Identifier: GPL-3.0-or-later
// Md5Digest: the RFC 1321 message digest, used to check the passwords of legacy vault files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvane {

class Md5Digest {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5Digest() { init(); }
    virtual ~Md5Digest() = default;

    void init();
    void update(const std::uint8_t* bytes, std::uint32_t length);
    void update(std::string_view bytes);
    // Writes the digest and resets the object for a new message.
    void final(std::uint8_t* out);
    Digest final();

    static Digest of(std::string_view bytes);

private:
    void transform(const std::uint8_t* block);

    std::uint32_t state_[4];
    std::uint32_t count_[2];  // bits absorbed, low word first
    std::uint8_t buffer_[64];
};

}  // namespace korvane

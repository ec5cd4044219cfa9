// SPDX-License-Identifier: GPL-3.0-or-later
// Little-endian 32-bit loads and stores, as MARS, MD5 and the legacy file headers lay words out.
#pragma once

#include <cstdint>

namespace korvane {

// Forced inline: MARS keeps its data words in registers only if these compile to plain moves.
[[gnu::always_inline]] inline std::uint32_t load_le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

[[gnu::always_inline]] inline void store_le32(std::uint32_t v, std::uint8_t* p) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// chunk_checksum: a fast 64-bit fingerprint of a buffer, to tell whether bytes read back from
// disk are the bytes that were written. It guards against the disk, not against an attacker.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvane {

// Any change confined to one aligned 8-byte word always changes the result; other changes
// (moved blocks, truncation, many flipped bits) go unnoticed with a chance of about 2^-64.
// Equal only within one process: words are read in the machine's byte order.
std::uint64_t chunk_checksum(const void* data, std::size_t size);

}  // namespace korvane

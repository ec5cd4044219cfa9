// SPDX-License-Identifier: GPL-3.0-or-later
// Independent MARS ECB and MD5 built on Crypto++, for tests that check vault bytes on disk.
#pragma once

#include <string>
#include <string_view>

namespace korvane::test_support {

// Enciphers or deciphers `data` in ECB mode with Crypto++'s MARS. The key is the first whole
// 32-bit words of `key_bytes` (trailing bytes ignored, as the vault does); only whole 16-byte
// blocks are processed and a shorter tail is dropped. Throws std::invalid_argument unless the key
// material is 16 to 59 bytes long.
std::string reference_mars_ecb(std::string_view key_bytes, std::string_view data, bool encrypt);

// The 16-byte MD5 digest of bytes, with Crypto++'s MD5.
std::string reference_md5(std::string_view bytes);

}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// Crypto++-backed MARS ECB and MD5 used as a second opinion on what the vault writes.
#include "support/reference_cipher.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <crypto++/mars.h>
#include <crypto++/md5.h>

#include <stdexcept>

namespace korvane::test_support {

std::string reference_mars_ecb(std::string_view key_bytes, std::string_view data, bool encrypt) {
    if (key_bytes.size() < 16 || key_bytes.size() > 59) {
        throw std::invalid_argument("reference_mars_ecb: key material must be 16 to 59 bytes");
    }
    const auto key_length = static_cast<unsigned int>(key_bytes.size() / 4 * 4);
    const auto* key = reinterpret_cast<const CryptoPP::byte*>(key_bytes.data());

    // SetKey only admits multiples of 8 bytes; UncheckedSetKey takes every whole-word length
    // that the MARS key schedule itself allows.
    CryptoPP::MARS::Encryption enc;
    CryptoPP::MARS::Decryption dec;
    CryptoPP::BlockCipher& cipher = encrypt ? static_cast<CryptoPP::BlockCipher&>(enc)
                                            : static_cast<CryptoPP::BlockCipher&>(dec);
    if (encrypt) {
        enc.UncheckedSetKey(key, key_length, CryptoPP::g_nullNameValuePairs);
    } else {
        dec.UncheckedSetKey(key, key_length, CryptoPP::g_nullNameValuePairs);
    }

    const std::size_t whole = data.size() / 16 * 16;
    std::string out(whole, '\0');
    const auto* in = reinterpret_cast<const CryptoPP::byte*>(data.data());
    auto* dst = reinterpret_cast<CryptoPP::byte*>(out.data());
    for (std::size_t off = 0; off < whole; off += 16) cipher.ProcessBlock(in + off, dst + off);
    return out;
}

std::string reference_md5(std::string_view bytes) {
    CryptoPP::Weak::MD5 md5;
    std::string digest(16, '\0');
    md5.CalculateDigest(reinterpret_cast<CryptoPP::byte*>(digest.data()),
                        reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size());
    return digest;
}

}  // namespace korvane::test_support

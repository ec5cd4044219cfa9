// SPDX-License-Identifier: GPL-3.0-or-later
// SealedText: MARS in counter mode under the vault's key, with the text's digest inside.
#include "vault/sealed_text.h"

#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cstring>

#include "vault/mars_cipher.h"
#include "vault/md5_digest.h"
#include "vault/secure_wipe.h"

namespace korvane {
namespace {

constexpr std::size_t kBlock = MarsCipher::kBlockSize;
constexpr std::size_t kDigestSize = 16;

using Block = std::array<std::uint8_t, kBlock>;

// The counter block for the index-th block of the stream: the nonce plus index, little-endian.
Block counter_block(const std::uint8_t* nonce, std::uint64_t index) {
    Block block;
    std::memcpy(block.data(), nonce, kBlock);
    unsigned carry = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        const unsigned add = i < 8 ? static_cast<unsigned>((index >> (8 * i)) & 0xFF) : 0;
        const unsigned sum = block[i] + add + carry;
        block[i] = static_cast<std::uint8_t>(sum);
        carry = sum >> 8;
    }
    return block;
}

// XORs the cipher's key stream over bytes; the same call enciphers and deciphers.
void apply_key_stream(const MarsCipher& cipher, const std::uint8_t* nonce, std::uint8_t* bytes,
                      std::size_t size) {
    Block stream;
    for (std::size_t offset = 0; offset < size; offset += kBlock) {
        stream = counter_block(nonce, offset / kBlock);
        cipher.encrypt_block(stream.data(), stream.data());
        const std::size_t count = std::min(kBlock, size - offset);
        for (std::size_t i = 0; i < count; ++i) bytes[offset + i] ^= stream[i];
    }
    secure_wipe(stream.data(), stream.size());
}

// Keys cipher with key_material; false when it makes no key.
bool key_cipher(MarsCipher& cipher, std::string_view key_material) {
    return MarsCipher::is_usable_key_length(key_material.size()) && cipher.set_key(key_material);
}

}  // namespace

SealedText SealedText::seal(std::string_view key_material, std::string_view text) {
    SealedText sealed;
    MarsCipher cipher;
    if (!key_cipher(cipher, key_material)) return sealed;
    sealed.bytes_.resize(kBlock + kDigestSize + text.size());
    std::uint8_t* nonce = sealed.bytes_.data();
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(nonce),
                                          kBlock / sizeof(quint32));
    const Md5Digest::Digest digest = Md5Digest::of(text);
    std::uint8_t* body = nonce + kBlock;
    std::memcpy(body, digest.data(), kDigestSize);
    if (!text.empty()) std::memcpy(body + kDigestSize, text.data(), text.size());
    apply_key_stream(cipher, nonce, body, kDigestSize + text.size());
    return sealed;
}

std::optional<std::string> SealedText::open(std::string_view key_material) const {
    if (bytes_.size() < kBlock + kDigestSize) return std::nullopt;
    MarsCipher cipher;
    if (!key_cipher(cipher, key_material)) return std::nullopt;
    std::vector<std::uint8_t> body(bytes_.begin() + kBlock, bytes_.end());
    apply_key_stream(cipher, bytes_.data(), body.data(), body.size());
    std::string text(reinterpret_cast<const char*>(body.data()) + kDigestSize,
                     body.size() - kDigestSize);
    const Md5Digest::Digest digest = Md5Digest::of(text);
    const bool matches = std::memcmp(digest.data(), body.data(), kDigestSize) == 0;
    secure_wipe(body.data(), body.size());
    if (matches) return text;
    secure_wipe(text);
    return std::nullopt;
}

void SealedText::clear() {
    secure_wipe(bytes_.data(), bytes_.size());
    bytes_.clear();
}

SealedText::~SealedText() { clear(); }

SealedText::SealedText(SealedText&& other) noexcept : bytes_(std::move(other.bytes_)) {
    other.bytes_.clear();
}

SealedText& SealedText::operator=(SealedText&& other) noexcept {
    if (this != &other) {
        clear();
        bytes_ = std::move(other.bytes_);
        other.bytes_.clear();
    }
    return *this;
}

}  // namespace korvane

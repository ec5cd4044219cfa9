// SPDX-License-Identifier: GPL-3.0-or-later
// RowOutput: escaping straight into a byte buffer that goes out in chunks.
#include "cli/row_output.h"

#include <QByteArray>
#include <algorithm>
#include <charconv>
#include <cstring>

#include "cli/command_context.h"
#include "vault/text.h"

namespace korvane::cli {
namespace {

// Big enough that the writes cost nothing next to the query, small enough to stay in the cache.
constexpr std::size_t kChunkBytes = 64 * 1024;

constexpr std::uint64_t kLowBits = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// Whether any byte of an all-ASCII word is c (the classic zero-byte test on word ^ c...c; exact
// when no byte has its high bit set).
bool has_byte(std::uint64_t word, char c) {
    const std::uint64_t x = word ^ (kLowBits * static_cast<unsigned char>(c));
    return ((x - kLowBits) & ~x & kHighBits) != 0;
}

// Whether any byte of an all-ASCII word is below 0x20, a control character (exact on the same
// condition).
bool has_control(std::uint64_t word) { return ((word - kLowBits * 0x20) & ~word & kHighBits) != 0; }

bool word_needs_escaping(std::uint64_t word, Escaping escaping) {
    if (has_byte(word, '\\')) return true;
    if (escaping == Escaping::Full) return has_control(word) || has_byte(word, '\x7f');
    return has_byte(word, '\t') || has_byte(word, '\r') || has_byte(word, '\n');
}

// ASCII is the same in GBK, in UTF-16 and in the output's encoding, so escaping its bytes
// directly gives what escaped() and the console's encode() would, without the two conversions.
void append_escaped_ascii(std::string& out, std::string_view bytes, Escaping escaping) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (char c : bytes) {
        if (!is_escaped(char16_t(c), escaping)) {
            out.push_back(c);
            continue;
        }
        out.push_back('\\');
        switch (c) {
            case '\\':
                out.push_back('\\');
                break;
            case '\t':
                out.push_back('t');
                break;
            case '\r':
                out.push_back('r');
                break;
            case '\n':
                out.push_back('n');
                break;
            default:
                out.push_back('x');
                out.push_back(kHex[(c >> 4) & 0xF]);
                out.push_back(kHex[c & 0xF]);
        }
    }
}

}  // namespace

RowOutput::RowOutput(Console& console, Escaping escaping) : console_(console), escaping_(escaping) {
    buffer_.reserve(kChunkBytes * 2);
}

void RowOutput::number(std::int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    buffer_.append(digits, std::size_t(end - digits));
}

void RowOutput::field(std::string_view stored) {
    // The common case, plain ASCII with nothing to escape, is told eight bytes at a time and
    // copied as is.
    bool escape = false;
    std::size_t i = 0;
    for (; i + 8 <= stored.size() && !escape; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, stored.data() + i, 8);
        if (word & kHighBits) {
            append_decoded(stored);
            return;
        }
        escape = word_needs_escaping(word, escaping_);
    }
    for (; i < stored.size(); ++i) {
        if (static_cast<unsigned char>(stored[i]) >= 0x80) {
            append_decoded(stored);
            return;
        }
        escape = escape || is_escaped(char16_t(stored[i]), escaping_);
    }
    if (escape) {
        append_escaped_ascii(buffer_, stored, escaping_);
    } else {
        buffer_.append(stored);
    }
}

void RowOutput::append_decoded(std::string_view stored) {
    QString shown = text::from_gbk(stored);
    // Few fields hold a character that needs escaping; only those take the longer way.
    const auto needs_escaping = [this](QChar c) { return is_escaped(c.unicode(), escaping_); };
    if (std::any_of(shown.cbegin(), shown.cend(), needs_escaping)) {
        shown = escaped_text(shown, escaping_);
    }
    const QByteArray bytes = console_.encode(shown);
    buffer_.append(bytes.constData(), std::size_t(bytes.size()));
}

void RowOutput::end_line() {
    buffer_.push_back('\n');
    if (buffer_.size() >= kChunkBytes) flush();
}

void RowOutput::flush() {
    if (buffer_.empty()) return;
    // The console writes the bytes before it returns; no copy is made for it.
    console_.write_out(QByteArray::fromRawData(buffer_.data(), qsizetype(buffer_.size())));
    buffer_.clear();  // keeps its room for the next chunk
}

}  // namespace korvane::cli

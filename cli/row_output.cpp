// SPDX-License-Identifier: GPL-3.0-or-later
// RowOutput: escaping straight into a byte buffer that goes out in chunks.
#include "cli/row_output.h"

#include <QByteArray>
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

bool is_escaped(char c) { return c == '\\' || c == '\t' || c == '\r' || c == '\n'; }

// ASCII is the same in GBK, in UTF-16 and in the output's encoding, so escaping its bytes
// directly gives what escaped() and the console's encode() would, without the two conversions.
void append_escaped_ascii(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        if (!is_escaped(c)) {
            out.push_back(c);
            continue;
        }
        out.push_back('\\');
        out.push_back(c == '\t' ? 't' : c == '\r' ? 'r' : c == '\n' ? 'n' : '\\');
    }
}

}  // namespace

RowOutput::RowOutput(Console& console) : console_(console) { buffer_.reserve(kChunkBytes * 2); }

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
        escape = has_byte(word, '\\') || has_byte(word, '\t') || has_byte(word, '\r') ||
                 has_byte(word, '\n');
    }
    for (; i < stored.size(); ++i) {
        if (static_cast<unsigned char>(stored[i]) >= 0x80) {
            append_decoded(stored);
            return;
        }
        escape = escape || is_escaped(stored[i]);
    }
    if (escape) {
        append_escaped_ascii(buffer_, stored);
    } else {
        buffer_.append(stored);
    }
}

void RowOutput::append_decoded(std::string_view stored) {
    QString shown = text::from_gbk(stored);
    // Few fields hold a character that needs escaping; only those take the longer way.
    if (shown.contains(u'\\') || shown.contains(u'\t') || shown.contains(u'\r') ||
        shown.contains(u'\n')) {
        shown = escaped(std::string(stored));
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

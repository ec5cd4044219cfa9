// RowOutput: escaping straight into a byte buffer that goes out in chunks.
#include "cli/row_output.h"

#include <QByteArray>
#include <charconv>

#include "cli/command_context.h"

namespace korvane::cli {
namespace {

// Big enough that the writes cost nothing next to the query, small enough to stay in the cache.
constexpr std::size_t kChunkBytes = 64 * 1024;

bool is_ascii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

// ASCII is the same in GBK, in UTF-16 and in the output's encoding, so escaping its bytes
// directly gives what escaped() and toLocal8Bit() would, without the two conversions.
void append_escaped_ascii(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t plain = bytes.find_first_of(std::string_view("\\\t\r\n", 4));
        out.append(bytes.substr(0, plain));
        if (plain == std::string_view::npos) return;
        out.push_back('\\');
        switch (bytes[plain]) {
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
                out.push_back('\\');
        }
        bytes.remove_prefix(plain + 1);
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
    if (is_ascii(stored)) {
        append_escaped_ascii(buffer_, stored);
    } else {
        const QByteArray shown = escaped(std::string(stored)).toLocal8Bit();
        buffer_.append(shown.constData(), std::size_t(shown.size()));
    }
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

// RowOutput: escaping straight into a byte buffer that goes out in chunks.
#include "cli/row_output.h"

#include "cli/command_context.h"

namespace korvane::cli {
namespace {

// Big enough that the writes cost nothing next to the query, small enough to stay in the cache.
constexpr qsizetype kChunkBytes = 64 * 1024;

bool is_ascii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

// ASCII is the same in GBK, in UTF-16 and in the output's encoding, so escaping its bytes
// directly gives what escaped() and toLocal8Bit() would, without the two conversions.
void append_escaped_ascii(QByteArray& out, std::string_view bytes) {
    for (char c : bytes) {
        switch (c) {
            case '\\':
                out.append("\\\\", 2);
                break;
            case '\t':
                out.append("\\t", 2);
                break;
            case '\r':
                out.append("\\r", 2);
                break;
            case '\n':
                out.append("\\n", 2);
                break;
            default:
                out.append(c);
        }
    }
}

}  // namespace

RowOutput::RowOutput(Console& console) : console_(console) { buffer_.reserve(kChunkBytes * 2); }

void RowOutput::number(std::int64_t value) { buffer_.append(QByteArray::number(value)); }

void RowOutput::field(std::string_view stored) {
    if (is_ascii(stored)) {
        append_escaped_ascii(buffer_, stored);
    } else {
        buffer_.append(escaped(std::string(stored)).toLocal8Bit());
    }
}

void RowOutput::end_line() {
    buffer_.append('\n');
    if (buffer_.size() >= kChunkBytes) flush();
}

void RowOutput::flush() {
    if (buffer_.isEmpty()) return;
    console_.write_out(buffer_);
    buffer_.truncate(0);  // keeps its room for the next chunk
}

}  // namespace korvane::cli

// SPDX-License-Identifier: GPL-3.0-or-later
// Values that break naive SQL quoting, printf-style formatting, GBK byte handling or length
// limits, and the record fields they are put into; shared by the suites that store text.
#pragma once

#include <QString>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "vault/vault_record.h"

namespace korvane::test_support {

struct HostileValue {
    const char* name;   // a gtest parameter name
    std::string bytes;  // never holds a NUL: every legacy field ends at one
};

// Parameters print as their names, not as kilobytes of bytes.
inline void PrintTo(const HostileValue& value, std::ostream* os) { *os << value.name; }

// Quotes, format directives, SQL comment and statement text, control characters and the terminal
// sequences they make (setting the clipboard, erasing lines), alone and among GBK text, sampled
// and complete GBK double-byte ranges, odd GBK mappings, invalid GBK, 64 KiB and the empty text.
const std::vector<HostileValue>& hostile_values();

// A text of exactly 65536 GBK bytes: one ASCII byte, then double-byte characters, then one more
// ASCII byte, so every even cut point from 2 to 65534 falls inside a character.
std::string gbk_text_of_64_kib();

// UTF-8 text as GBK bytes, converted by iconv rather than by the vault's own text code.
std::string gbk(const char* utf8);

// True when iconv decodes the bytes as GBK without an error (an independent check).
bool iconv_accepts_gbk(std::string_view bytes);

struct RecordField {
    const char* name;
    std::string VaultRecord::*member;
};

inline void PrintTo(const RecordField& field, std::ostream* os) { *os << field.name; }

// title, account, password, remark, category.
const std::vector<RecordField>& record_fields();

// The record with one field replaced.
VaultRecord with_field(VaultRecord record, const RecordField& field, std::string value);

// Something in the place of an output file that is no regular file.
struct SpecialTarget {
    const char* name;  // a gtest parameter name
    const char* kind;  // what the refusal must call it
    // Makes it at path; false, with a reason in *why, where this system cannot.
    std::function<bool(const QString& path, std::string* why)> make;
    // Made as a regular file, which becomes a FIFO while the output is being written.
    bool appears_while_writing = false;
    // The test opens a reader on the FIFO before the write, without blocking.
    bool with_reader = false;
};

inline void PrintTo(const SpecialTarget& target, std::ostream* os) { *os << target.name; }

// A FIFO without and with a reader, a character device, a folder, a socket, a link to a FIFO,
// and a FIFO swapped in after the checks before writing.
const std::vector<SpecialTarget>& special_targets();

// What lstat says of path, to tell that nothing replaced it: type, device, inode, device number.
std::string file_identity(const QString& path);

}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// Values that break naive SQL quoting, printf-style formatting, GBK byte handling or length
// limits, and the record fields they are put into; shared by the suites that store text.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "vault/vault_record.h"

namespace korvane::testing {

struct HostileValue {
    const char* name;   // a gtest parameter name
    std::string bytes;  // never holds a NUL: every legacy field ends at one
};

// Parameters print as their names, not as kilobytes of bytes.
inline void PrintTo(const HostileValue& value, std::ostream* os) { *os << value.name; }

// Quotes, format directives, SQL comment and statement text, control characters, sampled and
// complete GBK double-byte ranges, odd GBK mappings, invalid GBK, 64 KiB and the empty text.
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

}  // namespace korvane::testing

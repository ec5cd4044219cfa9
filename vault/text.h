// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between the UI's QString and the vault's code page 936 (GBK) byte strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "vault/result.h"

namespace korvane::text {

// Encodes text as GBK bytes. A character GBK cannot hold is an error whose message names
// field_name (a Chinese UI label such as "标题").
Result<std::string> to_gbk(const QString& text, const QString& field_name);

// Decodes GBK bytes for display. Bytes that are not valid GBK are shown as U+FFFD each, so the
// user sees that something is there; the stored bytes themselves are never rewritten by this.
QString from_gbk(std::string_view bytes);

// True when the bytes decode as GBK without any replacement.
bool is_valid_gbk(std::string_view bytes);

// Length in bytes of the longest prefix of at most max_bytes that does not end inside a
// double-byte character.
std::size_t prefix_at_char_boundary(std::string_view bytes, std::size_t max_bytes);

// A typed master password shorter than 16 bytes is filled up with "y" to exactly 17 bytes.
std::string pad_master_password(std::string typed);

}  // namespace korvane::text

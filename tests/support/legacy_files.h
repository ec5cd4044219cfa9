// SPDX-License-Identifier: GPL-3.0-or-later
// The legacy vault files, old and new, built byte by byte and sealed with the Crypto++ reference.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::test_support {

// Legacy vault files: N, the MD5 of password, then the body enciphered under password.
std::string seal_legacy(std::int32_t last_index, std::string_view password, std::string body);
// One 448-byte slot of the old file, each field followed by NUL fill.
std::string old_slot(std::string_view title, std::string_view account, std::string_view password,
                     std::string_view remark);
// The 134400-byte body of an old file: the given slots, then empty ones.
std::string old_body(const std::vector<std::string>& slot_list);
// One record of the new file's stream; `ignored` follows each field's NUL.
std::string new_record(std::string_view title, std::string_view remark, std::string_view account,
                       std::string_view password, char ignored = 'x');
// Zero bytes up to the next multiple of 16.
std::string pad_to_blocks(std::string bytes);

}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// Legacy file bodies and their sealing.
#include "support/legacy_files.h"

#include <gtest/gtest.h>

#include "support/reference_cipher.h"

namespace korvane::test_support {

std::string seal_legacy(std::int32_t last_index, std::string_view password, std::string body) {
    // The reference drops a partial last block; a test that means one must say so itself.
    EXPECT_EQ(body.size() % 16, 0u);
    std::string file(4, '\0');
    const auto n = std::uint32_t(last_index);
    for (int i = 0; i < 4; ++i) file[std::size_t(i)] = char(n >> (8 * i));
    file += reference_md5(password);
    return file + reference_mars_ecb(password, body, true);
}

std::string old_slot(std::string_view title, std::string_view account, std::string_view password,
                     std::string_view remark) {
    std::string slot(448, '\0');
    slot.replace(0, title.size(), title);
    slot.replace(64, account.size(), account);
    slot.replace(128, password.size(), password);
    slot.replace(192, remark.size(), remark);
    return slot;
}

std::string old_body(const std::vector<std::string>& slot_list) {
    std::string body;
    for (const std::string& slot : slot_list) body += slot;
    body.resize(300 * 448, '\0');
    return body;
}

std::string new_record(std::string_view title, std::string_view remark, std::string_view account,
                       std::string_view password, char ignored) {
    std::string out;
    for (std::string_view field : {title, remark, account, password}) {
        out.append(field);
        out.push_back('\0');
        out.push_back(ignored);
    }
    return out;
}

std::string pad_to_blocks(std::string bytes) {
    bytes.resize((bytes.size() + 15) / 16 * 16, '\0');
    return bytes;
}

}  // namespace korvane::test_support

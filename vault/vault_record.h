// SPDX-License-Identifier: GPL-3.0-or-later
// VaultRecord and RecordSummary: rows of table userpass as the vault's GBK byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

using RecordId = std::int64_t;  // SQLite's row id (OID)

struct VaultRecord {
    std::string title;     // column bt
    std::string account;   // column name
    std::string password;  // column pass
    std::string remark;    // column bz
    std::string category;  // column type: a copy of a type.leibie text

    friend bool operator==(const VaultRecord&, const VaultRecord&) = default;
};

// A record's five fields as views of bytes owned elsewhere (a statement's current row, a
// VaultRecord), so that rows streamed from one database into another are never copied.
struct RecordView {
    std::string_view title;
    std::string_view account;
    std::string_view password;
    std::string_view remark;
    std::string_view category;

    RecordView() = default;
    RecordView(std::string_view t, std::string_view a, std::string_view p, std::string_view r,
               std::string_view c)
        : title(t), account(a), password(p), remark(r), category(c) {}
    explicit RecordView(const VaultRecord& r)
        : RecordView(r.title, r.account, r.password, r.remark, r.category) {}

    friend bool operator==(const RecordView&, const RecordView&) = default;
};

// What the record list shows of a row: no password, no category.
struct RecordSummary {
    RecordId oid = 0;
    std::string title;
    std::string account;
    std::string remark;

    friend bool operator==(const RecordSummary&, const RecordSummary&) = default;
};

// The tree's root label; also the category of records created or dropped on the root.
inline constexpr char kRootCategory[] = "\xce\xd2\xb5\xc4\xc3\xdc\xc2\xeb";  // 我的密码 in GBK

}  // namespace korvane

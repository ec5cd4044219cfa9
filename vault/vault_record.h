// VaultRecord and RecordSummary: rows of table userpass as the vault's GBK byte strings.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

using RecordId = std::int64_t;  // SQLite's row id (OID)

struct VaultRecord {
    std::string bt;    // title
    std::string name;  // account
    std::string pass;  // password
    std::string bz;    // remark
    std::string type;  // category name, a copy of a type.leibie text

    friend bool operator==(const VaultRecord&, const VaultRecord&) = default;
};

// What the record list shows of a row: no password, no category.
struct RecordSummary {
    RecordId oid = 0;
    std::string bt;
    std::string name;
    std::string bz;

    friend bool operator==(const RecordSummary&, const RecordSummary&) = default;
};

// The tree's root label; also the category of records created or dropped on the root.
inline constexpr char kRootCategory[] = "\xce\xd2\xb5\xc4\xc3\xdc\xc2\xeb";  // 我的密码 in GBK

}  // namespace korvane

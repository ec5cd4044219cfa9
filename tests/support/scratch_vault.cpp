// SPDX-License-Identifier: GPL-3.0-or-later
// ScratchVault and the plain-sqlite3 source vaults.
#include "support/scratch_vault.h"

#include <gtest/gtest.h>

#include "vault/vault_statements.h"

namespace korvane::test_support {

using test_support::RawRow;
using test_support::RawSqlite;

ScratchVault::ScratchVault() : path_(dir_.filePath("user.tmp")) {
    auto db = SqliteDb::open(path_);
    EXPECT_TRUE(db.ok());
    if (!db) return;
    db_ = std::move(*db);
    EXPECT_TRUE(statements::create_schema(db_).ok());
    EXPECT_TRUE(statements::insert_master_password(db_, "masterpasswordyyy").ok());
}

void ScratchVault::add_record(const VaultRecord& record) {
    EXPECT_TRUE(statements::insert_record(db_, record).ok());
}

void ScratchVault::add_category(std::string_view name) {
    EXPECT_TRUE(statements::insert_category(db_, name).ok());
}

std::vector<RawRow> ScratchVault::records() {
    return RawSqlite(path_).rows("select bt,name,pass,bz,type from userpass order by OID");
}

std::vector<std::string> ScratchVault::categories() {
    std::vector<std::string> names;
    for (const RawRow& row : RawSqlite(path_).rows("select leibie from type order by OID")) {
        names.push_back(row[0].value_or("<NULL>"));
    }
    return names;
}

void write_source_vault(const QString& path, const std::vector<RawRow>& records,
                        const std::vector<std::string>& categories) {
    RawSqlite db(path);
    db.exec(
        "CREATE TABLE userad(pass TEXT); CREATE TABLE type(leibie TEXT);"
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
        "INSERT INTO userad VALUES('sourcepasswordyy')");
    for (const RawRow& row : records) {
        std::string sql = "INSERT INTO userpass VALUES(";
        std::vector<std::string> params;
        for (std::size_t i = 0; i < row.size(); ++i) {
            sql += i ? "," : "";
            if (row[i]) {
                sql += "?";
                params.push_back(*row[i]);
            } else {
                sql += "NULL";
            }
        }
        db.rows(sql + ")", params);
    }
    for (const std::string& name : categories) db.rows("INSERT INTO type VALUES(?)", {name});
}

RawRow raw(const VaultRecord& r) { return {r.title, r.account, r.password, r.remark, r.category}; }

}  // namespace korvane::test_support

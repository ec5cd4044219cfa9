// SPDX-License-Identifier: GPL-3.0-or-later
// Plain sqlite3 queries for tests.
#include "support/raw_sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "support/file_helpers.h"
#include "support/reference_cipher.h"

namespace korvane::test_support {

RawSqlite::RawSqlite(const QString& path) {
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        ADD_FAILURE() << "sqlite3_open_v2: " << sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

RawSqlite::~RawSqlite() { sqlite3_close(db_); }

void RawSqlite::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        ADD_FAILURE() << "sqlite3_exec(" << sql << "): " << (message ? message : "?");
    }
    sqlite3_free(message);
}

std::vector<RawRow> RawSqlite::rows(std::string_view sql, const std::vector<std::string>& params) {
    std::vector<RawRow> result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "prepare(" << sql << "): " << sqlite3_errmsg(db_);
        return result;
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].data(),
                          static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        RawRow row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                row.emplace_back(std::nullopt);
                continue;
            }
            const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, c));
            const int size = sqlite3_column_bytes(stmt, c);
            row.emplace_back(size > 0 ? std::string(data, static_cast<std::size_t>(size))
                                      : std::string());
        }
        result.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) ADD_FAILURE() << "step(" << sql << "): " << sqlite3_errmsg(db_);
    sqlite3_finalize(stmt);
    return result;
}

RawValue RawSqlite::value(std::string_view sql, const std::vector<std::string>& params) {
    const std::vector<RawRow> all = rows(sql, params);
    if (all.size() != 1 || all[0].size() != 1) {
        ADD_FAILURE() << sql << " returned " << all.size() << " rows, expected one value";
        return std::nullopt;
    }
    return all[0][0];
}

DecipheredVault::DecipheredVault(const QString& vault_path, std::string_view key_bytes) {
    const QString plain = dir_.filePath(QStringLiteral("deciphered.db"));
    test_support::write_file(plain, test_support::reference_mars_ecb(
                                        key_bytes, test_support::read_file(vault_path), false));
    db_ = std::make_unique<RawSqlite>(plain);
}

}  // namespace korvane::test_support

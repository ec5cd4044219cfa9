// SPDX-License-Identifier: GPL-3.0-or-later
// RawSqlite: plain sqlite3 access for tests, independent of the vault's own SqliteDb wrapper.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace korvane::test_support {

// A column value as stored: nullopt for NULL, otherwise the exact bytes.
using RawValue = std::optional<std::string>;
using RawRow = std::vector<RawValue>;

// Opens its own connection to a database file, so what a test reads back went through the
// file and not through the code under test. Failures end the test via gtest assertions.
class RawSqlite {
public:
    explicit RawSqlite(const QString& path);
    ~RawSqlite();
    RawSqlite(const RawSqlite&) = delete;
    RawSqlite& operator=(const RawSqlite&) = delete;

    bool ok() const { return db_ != nullptr; }
    // Runs sql (which may hold several statements); adds a gtest failure on error.
    void exec(const std::string& sql);
    // Runs one query with optional text parameters and returns every row.
    std::vector<RawRow> rows(std::string_view sql, const std::vector<std::string>& params = {});
    // The single value of a query returning one row with one column.
    RawValue value(std::string_view sql, const std::vector<std::string>& params = {});

private:
    sqlite3* db_ = nullptr;
};

// A vault file deciphered whole by the reference cipher into a temporary file of its own and
// opened there: what has been committed to the disk, read without the code under test.
class DecipheredVault {
public:
    DecipheredVault(const QString& vault_path, std::string_view key_bytes);
    RawSqlite& db() { return *db_; }

private:
    QTemporaryDir dir_;
    std::unique_ptr<RawSqlite> db_;
};

}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteDb and SqliteStatement: a thin owner of a sqlite3 connection with bound parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "vault/enciphered_vfs.h"
#include "vault/result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace korvane {

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3_stmt* stmt);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters are numbered from 1, as in SQLite. Texts are bound as their bytes.
    void bind_text(int index, std::string_view bytes);
    // The same without SQLite's own copy: the bytes must stay as they are until the statement
    // has run and is reset or bound anew.
    void bind_borrowed_text(int index, std::string_view bytes);
    void bind_int64(int index, std::int64_t value);

    // True while a row is available; false when done. An error ends the rows and is kept.
    bool step();
    bool failed() const { return failed_; }
    const QString& error() const { return error_; }

    // Makes the statement ready to run again; its parameters are bound anew before it is.
    void reset();

    // NULL reads as an empty text.
    std::string column_text(int column) const;
    // The same bytes without a copy, valid only until the next step() or reset().
    std::string_view column_view(int column) const;
    std::int64_t column_int64(int column) const;
    bool column_is_null(int column) const;

private:
    void bind_text_as(int index, std::string_view bytes, void (*lifetime)(void*));

    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
    QString error_;
};

class SqliteDb {
public:
    enum class Mode { ReadWriteCreate, ReadWrite, ReadOnly };

    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // path is a local file path (UTF-8 for SQLite).
    static Result<SqliteDb> open(const QString& path, Mode mode = Mode::ReadWriteCreate);
    // Opens a database from outside the vault (an import or sync source) to read only: the
    // file is never changed and nothing is created beside it, path is a file name even when
    // it reads like a URI, the schema's SQL runs nothing the schema itself defines, and no
    // value or statement may exceed kUntrustedMaxLength / kUntrustedMaxSqlLength.
    static Result<SqliteDb> open_untrusted(const QString& path);
    static constexpr int kUntrustedMaxLength = 1 << 20;
    static constexpr int kUntrustedMaxSqlLength = 64 * 1024;
    // Opens the database at path through vfs, so that it and its journal stay enciphered on
    // disk; the connection keeps vfs alive. The key is checked against the file first, and a
    // wrong key (or a header that asks for WAL) opens nothing and changes no file. The
    // connection syncs fully, journals by deleting, keeps temporary tables and sorts in memory,
    // never maps the file, and zeroes freed pages (secure_delete).
    static Result<SqliteDb> open_enciphered(const QString& path, std::shared_ptr<EncipheredVfs> vfs,
                                            Mode mode = Mode::ReadWriteCreate);

    bool is_open() const { return db_ != nullptr; }
    void close();
    sqlite3* handle() const { return db_; }

    // Runs statements without parameters (schema, transactions).
    Status exec(std::string_view sql);
    Result<SqliteStatement> prepare(std::string_view sql);
    QString last_error() const;
    std::int64_t last_insert_rowid() const;

private:
    explicit SqliteDb(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
    std::shared_ptr<EncipheredVfs> vfs_;  // what an open_enciphered connection reads through
};

// Runs a transaction that rolls back unless commit() succeeds.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDb& db);
    ~SqliteTransaction();
    Status begin_status() const { return begin_; }
    Status commit();

private:
    SqliteDb& db_;
    Status begin_;
    bool open_ = false;
};

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// File helpers for tests, independent of the code under test.
#include "support/file_helpers.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>

#include "support/reference_cipher.h"

namespace korvane::test_support {

std::string read_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void write_file(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes.data(), qint64(bytes.size()));
    }
}

QStringList folder_entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                               QDir::Name);
}

bool is_owner_only(const QString& path) {
    namespace fs = std::filesystem;
    const fs::perms perms = fs::status(QFile::encodeName(path).toStdString()).permissions();
    return perms == (fs::perms::owner_read | fs::perms::owner_write);
}

std::string query_sqlite(const QString& db_path, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(db_path).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        std::string error = std::string("ERROR: ") + sqlite3_errmsg(db);
        sqlite3_close(db);
        return error;
    }
    sqlite3_stmt* stmt = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        out = std::string("ERROR: ") + sqlite3_errmsg(db);
    } else {
        int rc;
        bool first_row = true;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (!first_row) out += '\n';
            first_row = false;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (c > 0) out += '|';
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                    out += "NULL";
                    continue;
                }
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, c));
                out.append(bytes ? bytes : "", std::size_t(sqlite3_column_bytes(stmt, c)));
            }
        }
        if (rc != SQLITE_DONE) out = std::string("ERROR: ") + sqlite3_errmsg(db);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

std::string query_sqlite_bytes(const std::string& db_bytes, const std::string& sql) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.db"));
    write_file(path, db_bytes);
    return query_sqlite(path, sql);
}

std::string query_vault_file(const QString& vault_path, std::string_view key_bytes,
                             const std::string& sql) {
    return query_sqlite_bytes(reference_mars_ecb(key_bytes, read_file(vault_path), false), sql);
}

bool replace_with_fifo(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    return ::unlink(name.constData()) == 0 && ::mkfifo(name.constData(), 0600) == 0;
}

}  // namespace korvane::test_support

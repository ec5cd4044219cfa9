// SPDX-License-Identifier: GPL-3.0-or-later
// Small file helpers for tests: whole-file reads and writes, folder listings, raw SQLite.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

namespace korvane::test_support {

std::string read_file(const QString& path);
void write_file(const QString& path, const std::string& bytes);
// File names in a folder, sorted, hidden files included.
QStringList folder_entries(const QString& dir);
// True when the file's mode is exactly read and write for its owner.
bool is_owner_only(const QString& path);
// Removes the file at path and makes a FIFO of that name in its place; false if either fails.
bool replace_with_fifo(const QString& path);
// Runs one query through the sqlite3 library directly and returns every cell of every row,
// cells joined by '|' and rows by '\n'; "ERROR: ..." when it fails.
std::string query_sqlite(const QString& db_path, const std::string& sql);
// Same, on a database given as its file bytes (written to a temporary file).
std::string query_sqlite_bytes(const std::string& db_bytes, const std::string& sql);
// Same, on a vault file deciphered whole by the reference cipher under key_bytes: the answer is
// what has been committed to the disk, read without the program's own code.
std::string query_vault_file(const QString& vault_path, std::string_view key_bytes,
                             const std::string& sql);

}  // namespace korvane::test_support

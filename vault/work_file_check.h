// SPDX-License-Identifier: GPL-3.0-or-later
// Checks that the plain working file is still the vault database the session opened: the same
// file, owned by this user, with a whole SQLite image and the vault's own tables.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "vault/database_image.h"
#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// Which file a path named when it was looked at: device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of path itself (a link is not followed), if it is a regular file owned by the
// effective user; otherwise why not.
Result<FileIdentity> identify_own_file(const QString& path);

// The 100-byte header carries the SQLite magic, and its page count times its page size is the
// file's length: a file cut short or grown by foreign bytes fails.
Status check_database_header(const QString& path);

// The same check of a database deciphered into memory; the error is the bare reason.
Status check_database_image(const DatabaseImage& image);

// userad, type and userpass are tables (not views) and no trigger is defined: a trigger or a
// view would run foreign SQL on the vault's own statements.
Status check_vault_schema(SqliteDb& db);

// The header, then the schema through a read-only connection of its own.
Status check_work_file_content(const QString& path);

// All of the above at once: identity first, then the content.
Status check_work_file(const QString& path, const FileIdentity& expected);

// Why the file at path is not the one the session opened; nullopt when it still is.
std::optional<QString> work_file_replaced(const QString& path, const FileIdentity& expected);

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The connections that write the plain working database, and what the session does to it as a
// whole: its settings, a quick integrity check, shrinking and copying it out.
#pragma once

#include <QString>

#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// Creates an empty file that only the owner can read, for SQLite to fill; false if the name
// is taken or the file cannot be made.
bool create_private_file(const QString& path);

// Opens an existing working database for writing with secure_delete on (freed pages are
// zeroed, so deleted secrets do not linger in the file) and temp_store in memory (sorts and
// VACUUM never spill plain pages into the system's temporary folder).
Result<SqliteDb> open_work_database(const QString& path);

// PRAGMA quick_check answered "ok".
Status quick_check(SqliteDb& db);

// VACUUM when more than a quarter of the pages are free. Shrinking is a nicety: a failure (a
// full disk) is rolled back by SQLite and ignored.
void vacuum_if_sparse(SqliteDb& db);

// Writes the whole database of source into a new, empty, owner-only file at target_path
// through sqlite3_backup_*. On failure the new file is removed again.
Status backup_into_new_file(SqliteDb& source, const QString& target_path);

}  // namespace korvane

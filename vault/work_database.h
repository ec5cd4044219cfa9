// SPDX-License-Identifier: GPL-3.0-or-later
// The connections that write the plain working database, and what the session does to it as a
// whole: its settings, a quick integrity check and copying it out. Nothing here rebuilds a
// table: userpass has no INTEGER PRIMARY KEY, so VACUUM (or any copy row by row) may give
// every record a new OID, and the OID is the record's number in the window, the command line
// and the user's scripts. Freed pages are zeroed by secure_delete instead of being cut off.
#pragma once

#include <QString>

#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// Creates an empty file that only the owner can read, for SQLite to fill; false if the name
// is taken or the file cannot be made.
bool create_private_file(const QString& path);

// Opens an existing working database for writing with secure_delete on (freed pages are
// zeroed, so deleted secrets do not linger in the file) and temp_store in memory (sorts never
// spill plain pages into the system's temporary folder).
Result<SqliteDb> open_work_database(const QString& path);

// PRAGMA quick_check answered "ok".
Status quick_check(SqliteDb& db);

// Writes the whole database of source into a new, empty, owner-only file at target_path
// through sqlite3_backup_*. On failure the new file is removed again.
Status backup_into_new_file(SqliteDb& source, const QString& target_path);

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The plain working database an earlier version left behind, opened only to be recovered into
// user.dat. Nothing here rebuilds a table: userpass has no INTEGER PRIMARY KEY, so VACUUM (or
// any copy row by row) may give every record a new OID, and the OID is the record's number in
// the window, the command line and the user's scripts.
#pragma once

#include <QString>

#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// Opens an existing working database for writing (opening it rolls back a hot journal) with
// secure_delete on and temp_store in memory, so nothing plain spills into other files.
Result<SqliteDb> open_work_database(const QString& path);

// PRAGMA quick_check answered "ok".
Status quick_check(SqliteDb& db);

}  // namespace korvane

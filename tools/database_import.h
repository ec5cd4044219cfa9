// SPDX-License-Identifier: GPL-3.0-or-later
// Import of a database-version vault: every record and category appended, duplicates kept.
#pragma once

#include <QString>

#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane::tools {

struct DatabaseImportCounts {
    int records = 0;
    int categories = 0;
};

// Appends all rows of the source's userpass and type tables to the vault in one transaction
// (all or nothing). The source is opened read-only and never changed; importing it twice
// adds everything twice.
Result<DatabaseImportCounts> import_database(SqliteDb& vault, const QString& source_path);

}  // namespace korvane::tools

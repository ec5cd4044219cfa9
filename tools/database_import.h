// SPDX-License-Identifier: GPL-3.0-or-later
// Import of a database-version vault: every record and category appended, duplicates kept.
#pragma once

#include <QString>

#include "tools/stop_request.h"
#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane::tools {

struct DatabaseImportCounts {
    int records = 0;
    int categories = 0;
};

// What import_database says when stop ended it; nothing was imported then.
QString import_interrupted_message();

// Appends all rows of the source's userpass and type tables to the vault in one transaction
// (all or nothing). The source is opened read-only and never changed; importing it twice
// adds everything twice. Once stop answers true, between two rows, the transaction is rolled
// back and the import fails with import_interrupted_message().
Result<DatabaseImportCounts> import_database(SqliteDb& vault, const QString& source_path,
                                             const StopRequested& stop = {});

}  // namespace korvane::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Synchronisation: merging another database-version vault into the open one without
// adding records or categories it already holds.
#pragma once

#include <QString>

#include "tools/source_vault.h"
#include "tools/stop_request.h"
#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane::tools {

struct SyncCounts {
    int records = 0;     // what "数据库同步成功，共同步了%d条数据" reports
    int categories = 0;  // when above 0 the category tree needs a reload
};

// Records first, then categories, in the source's table order, in one transaction. A record
// is added unless one with all five fields equal (byte for byte) is in the vault already or
// was added earlier in this run; a category of the source's type table likewise. Categories
// that source records only use are not created. The source is opened read-only. Once stop
// answers true, between two rows, the transaction is rolled back and the sync fails with
// sync_interrupted_message().
Result<SyncCounts> sync_database(SqliteDb& vault, const QString& source_path,
                                 const StopRequested& stop = {});

// The same merge from rows already read.
Result<SyncCounts> sync_from(SqliteDb& vault, const SourceVault& source,
                             const StopRequested& stop = {});

// What the sync says when stop ended it; nothing was added then.
QString sync_interrupted_message();

}  // namespace korvane::tools

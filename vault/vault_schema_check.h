// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a database is one the vault's own statements may run on.
#pragma once

#include <QString>

#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// The 100-byte header carries the SQLite magic, and its page count times its page size is the
// file's length: a file cut short or grown by foreign bytes fails. For a left-over plain
// working file, whose length is all there is to judge it by.
Status check_database_header(const QString& path);

// userad, type and userpass are tables (not views) and no trigger is defined: a trigger or a
// view would run foreign SQL on the vault's own statements.
Status check_vault_schema(SqliteDb& db);

}  // namespace korvane

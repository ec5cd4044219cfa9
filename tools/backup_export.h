// SPDX-License-Identifier: GPL-3.0-or-later
// Backup export: an unencrypted, consistent copy of the open vault database.
#pragma once

#include <QString>
#include <functional>
#include <string_view>

#include "vault/result.h"
#include "vault/session_files.h"
#include "vault/sqlite_db.h"

namespace korvane::tools {

// Copies the database of the open connection page by page (SQLite's online backup) into a
// temporary file beside target_path, readable by the owner only, and renames it over the
// target, replacing a file the user agreed to replace. The vault itself is only read; a
// target that is one of session's own files is refused before anything is written.
Status export_backup(SqliteDb& vault, const QString& target_path, const SessionFiles& session);

// Takes the bytes of a backup; a failure ends the backup with it.
using BackupSink = std::function<Status(std::string_view)>;

// The same database, every page of it as one consistent snapshot, handed to sink, for a backup
// to a pipe. No file is written; a copy the library had to make is wiped before it is freed.
Status export_backup(SqliteDb& vault, const BackupSink& sink);

}  // namespace korvane::tools

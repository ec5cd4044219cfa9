// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole vault file anew, enciphered from its first page, and putting it in the place
// of the old one in one rename: how a vault is created and how it is re-keyed.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "vault/enciphered_vfs.h"
#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// Makes a new owner-only file beside target (beside the file a link names, for a link), lets
// fill write the database through a connection that enciphers under vfs's key, closes it,
// flushes it to disk and renames it over target. Until the rename target is untouched; on any
// failure the new file (and its journal) are removed. A crash leaves target as it was, and a
// "<name>.<random>.part" file that the next start removes.
Status write_enciphered_file(const QString& target, std::shared_ptr<EncipheredVfs> vfs,
                             const std::function<Status(SqliteDb&)>& fill);

}  // namespace korvane

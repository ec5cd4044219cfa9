// Reading another database-version vault (plain SQLite with tables userpass and type).
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "vault/result.h"
#include "vault/vault_record.h"

namespace korvane::tools {

struct SourceVault {
    std::vector<VaultRecord> records;     // table order, NULL columns as empty texts
    std::vector<std::string> categories;  // table order, duplicates kept
};

// Opens path as an untrusted file (SqliteDb::open_untrusted), reads the schema's columns of
// both tables whole, by name, and closes it again, so the caller can then write its own vault
// even when both are the same file. A missing file, a file that is not SQLite (an encrypted
// user.dat), one without the two tables or their columns, one whose tables are views or
// virtual tables or hold generated or hidden columns, one not in UTF-8, or one holding a value
// over the length limit is an error saying so; nothing is read from it then.
Result<SourceVault> read_source_vault(const QString& path);

}  // namespace korvane::tools

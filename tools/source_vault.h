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

// Opens path read-only, reads both tables whole and closes it again, so the caller can then
// write its own vault even when both are the same file. A missing file, a file that is not
// SQLite (an encrypted user.dat) or one without the two tables is an error saying so.
Result<SourceVault> read_source_vault(const QString& path);

}  // namespace korvane::tools

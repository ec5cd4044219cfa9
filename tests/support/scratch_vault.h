// SPDX-License-Identifier: GPL-3.0-or-later
// ScratchVault: a new vault database in a folder of its own; and source vaults written with
// plain sqlite3, for the suites that import, export or compare databases.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>
#include <string_view>
#include <vector>

#include "support/raw_sqlite.h"
#include "vault/session_files.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane::test_support {

// A new vault database (create_schema, one master password row) in its own folder.
class ScratchVault {
public:
    ScratchVault();
    QString path() const { return path_; }
    QString file(const QString& name) const { return dir_.filePath(name); }
    SqliteDb& db() { return db_; }
    // The folder's own files, path() among them, as a session there would keep them.
    SessionFiles session() const { return SessionFiles(dir_.path()); }

    void add_record(const VaultRecord& record);
    void add_category(std::string_view name);
    // Read back through a connection of its own: bt, name, pass, bz, type in OID order.
    std::vector<test_support::RawRow> records();
    std::vector<std::string> categories();

private:
    QTemporaryDir dir_;
    QString path_;
    SqliteDb db_;
};

// A database-version vault written with plain sqlite3; NULL cells where a value is nullopt.
void write_source_vault(const QString& path, const std::vector<test_support::RawRow>& records,
                        const std::vector<std::string>& categories);

// The record as the userpass row it is stored as: bt, name, pass, bz, type.
test_support::RawRow raw(const VaultRecord& record);

}  // namespace korvane::test_support

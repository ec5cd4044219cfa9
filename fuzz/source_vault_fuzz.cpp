// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: another vault's SQLite file read, imported and synchronised into a new vault.
#include <QFile>

#include "fuzz_support.h"
#include "tools/database_import.h"
#include "tools/database_sync.h"
#include "tools/source_vault.h"
#include "vault/sqlite_db.h"
#include "vault/vault_statements.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvane;
    const QString source_path = fuzz::write_scratch(QStringLiteral("source.db"), data, size);

    auto source = tools::read_source_vault(source_path);
    // Whatever the file's schema asks for, no value read may exceed the length limit, and
    // reading it changes nothing and creates nothing beside it.
    if (source) {
        for (const VaultRecord& r : source->records) {
            for (const std::string* field :
                 {&r.title, &r.account, &r.password, &r.remark, &r.category}) {
                if (field->size() > std::size_t(SqliteDb::kUntrustedMaxLength)) std::abort();
            }
        }
    }
    if (QFile::exists(source_path + QStringLiteral("-wal")) ||
        QFile::exists(source_path + QStringLiteral("-shm")) ||
        QFile::exists(source_path + QStringLiteral("-journal"))) {
        std::abort();
    }
    {
        QFile after(source_path);
        if (!after.open(QIODevice::ReadOnly)) std::abort();
        const QByteArray bytes = after.readAll();
        if (bytes !=
            QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size))) {
            std::abort();
        }
    }

    // In memory: the target vault is new each run and never needs to outlive it.
    auto vault = SqliteDb::open(QStringLiteral(":memory:"));
    if (!vault || !statements::create_schema(*vault)) std::abort();
    auto imported = tools::import_database(*vault, source_path);
    // After an import every source row is present, so a sync of the same file adds nothing.
    auto synced = tools::sync_database(*vault, source_path);
    if (imported && synced && synced->records != 0) std::abort();
    if (source) {
        auto fresh = SqliteDb::open(QStringLiteral(":memory:"));
        if (!fresh || !statements::create_schema(*fresh)) std::abort();
        auto from = tools::sync_from(*fresh, *source);
        (void)from;
    }
    QFile::remove(source_path);
    return 0;
}

// Appending a database-version vault's records and categories to the open vault.
#include "tools/database_import.h"

#include "tools/source_vault.h"
#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

Error import_failed(const QString& reason) {
    return make_error(QStringLiteral("导入失败，没有导入任何数据：%1").arg(reason));
}

}  // namespace

Result<DatabaseImportCounts> import_database(SqliteDb& vault, const QString& source_path) {
    auto source = read_source_vault(source_path);
    if (!source) return make_error(source.error());

    SqliteTransaction transaction(vault);
    if (Status begun = transaction.begin_status(); !begun) return import_failed(begun.error());
    for (const VaultRecord& record : source->records) {
        if (auto id = statements::insert_record(vault, record); !id) {
            return import_failed(id.error());
        }
    }
    for (const std::string& category : source->categories) {
        if (Status status = statements::insert_category(vault, category); !status) {
            return import_failed(status.error());
        }
    }
    if (Status committed = transaction.commit(); !committed) {
        return import_failed(committed.error());
    }
    return DatabaseImportCounts{int(source->records.size()), int(source->categories.size())};
}

}  // namespace korvane::tools

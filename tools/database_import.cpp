// SPDX-License-Identifier: GPL-3.0-or-later
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

QString import_interrupted_message() { return QStringLiteral("已中断，没有导入任何数据。"); }

Result<DatabaseImportCounts> import_database(SqliteDb& vault, const QString& source_path,
                                             const StopRequested& stop) {
    auto source = SourceVaultReader::open(source_path, &vault);
    if (!source) return make_error(source.error());

    // Rows go straight from the source's statement into one prepared insert: nothing is held
    // but the row at hand, and the rollback of the one transaction undoes a failure anywhere.
    SqliteTransaction transaction(vault);
    if (Status begun = transaction.begin_status(); !begun) return import_failed(begun.error());
    auto insert_record = statements::prepare_record_insert(vault);
    if (!insert_record) return import_failed(insert_record.error());
    auto insert_category = statements::prepare_category_insert(vault);
    if (!insert_category) return import_failed(insert_category.error());

    DatabaseImportCounts counts;
    Status records = source->for_each_record([&](const RecordView& record) -> Status {
        if (stop_requested(stop)) return make_error(import_interrupted_message());
        if (auto id = statements::insert_record(vault, *insert_record, record); !id) {
            return import_failed(id.error());
        }
        ++counts.records;
        return Status::success();
    });
    if (!records) return make_error(records.error());
    Status categories = source->for_each_category([&](std::string_view name) -> Status {
        if (stop_requested(stop)) return make_error(import_interrupted_message());
        if (Status status = statements::insert_category(vault, *insert_category, name); !status) {
            return import_failed(status.error());
        }
        ++counts.categories;
        return Status::success();
    });
    if (!categories) return make_error(categories.error());
    if (Status committed = transaction.commit(); !committed) {
        return import_failed(committed.error());
    }
    return counts;
}

}  // namespace korvane::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Synchronisation against an index of the vault's records and a set of its categories, built
// once, with the source's rows streamed through one prepared insert.
#include "tools/database_sync.h"

#include <string_view>
#include <unordered_set>

#include "tools/record_key_index.h"
#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

Error sync_failed(const QString& reason) {
    return make_error(QStringLiteral("同步失败，没有同步任何数据：%1").arg(reason));
}

// The merge itself, over whichever way the source's rows arrive.
Result<SyncCounts> merge(SqliteDb& vault, SourceVaultReader::RecordSource records,
                         SourceVaultReader::CategorySource categories, const StopRequested& stop) {
    // Only digests and row ids of the vault's records are held; a match is read back by row id
    // to compare the bytes.
    auto existing_records = RecordKeyIndex::build(vault);
    if (!existing_records) return sync_failed(existing_records.error());
    auto existing_categories = statements::list_categories(vault);
    if (!existing_categories) return sync_failed(existing_categories.error());
    std::unordered_set<std::string> known_categories(existing_categories->begin(),
                                                     existing_categories->end());

    SyncCounts counts;
    SqliteTransaction transaction(vault);
    if (Status begun = transaction.begin_status(); !begun) return sync_failed(begun.error());
    auto insert_record = statements::prepare_record_insert(vault);
    if (!insert_record) return sync_failed(insert_record.error());
    auto insert_category = statements::prepare_category_insert(vault);
    if (!insert_category) return sync_failed(insert_category.error());

    Status added_records = records([&](const RecordView& record) -> Status {
        if (stop_requested(stop)) return make_error(sync_interrupted_message());
        const std::uint64_t digest = RecordKeyIndex::digest(record);
        auto present = existing_records->contains(record, digest);
        if (!present) return sync_failed(present.error());
        if (*present) return Status::success();
        auto id = statements::insert_record(vault, *insert_record, record);
        if (!id) return sync_failed(id.error());
        // Noted as it goes in, so a repeated source row is added once.
        existing_records->add(digest, *id);
        ++counts.records;
        return Status::success();
    });
    if (!added_records) return make_error(added_records.error());
    Status added_categories = categories([&](std::string_view name) -> Status {
        if (stop_requested(stop)) return make_error(sync_interrupted_message());
        if (!known_categories.emplace(name).second) return Status::success();
        if (Status status = statements::insert_category(vault, *insert_category, name); !status) {
            return sync_failed(status.error());
        }
        ++counts.categories;
        return Status::success();
    });
    if (!added_categories) return make_error(added_categories.error());
    if (Status committed = transaction.commit(); !committed) return sync_failed(committed.error());
    return counts;
}

}  // namespace

QString sync_interrupted_message() { return QStringLiteral("已中断，没有同步任何数据。"); }

Result<SyncCounts> sync_from(SqliteDb& vault, const SourceVault& source,
                             const StopRequested& stop) {
    return merge(
        vault,
        [&source](const SourceVaultReader::RecordSink& sink) {
            for (const VaultRecord& record : source.records) {
                if (Status status = sink(RecordView(record)); !status) return status;
            }
            return Status::success();
        },
        [&source](const SourceVaultReader::CategorySink& sink) {
            for (const std::string& name : source.categories) {
                if (Status status = sink(name); !status) return status;
            }
            return Status::success();
        },
        stop);
}

Result<SyncCounts> sync_database(SqliteDb& vault, const QString& source_path,
                                 const StopRequested& stop) {
    auto source = SourceVaultReader::open(source_path, &vault);
    if (!source) return make_error(source.error());
    return merge(
        vault,
        [&source](const SourceVaultReader::RecordSink& sink) {
            return source->for_each_record(sink);
        },
        [&source](const SourceVaultReader::CategorySink& sink) {
            return source->for_each_category(sink);
        },
        stop);
}

}  // namespace korvane::tools

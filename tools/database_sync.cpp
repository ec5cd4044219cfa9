// Synchronisation against in-memory sets of the vault's records and categories, built once.
#include "tools/database_sync.h"

#include <functional>
#include <string_view>
#include <unordered_set>

#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

std::size_t hash_record(const VaultRecord& r) {
    std::size_t seed = 0;
    for (const std::string* field : {&r.title, &r.account, &r.password, &r.remark, &r.category}) {
        const std::size_t h = std::hash<std::string_view>{}(*field);
        seed ^= h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    }
    return seed;
}

// Points into the vault's rows or the source's rows, both alive for the whole merge, so no
// record is copied. The hash is kept because the set rehashes and walks buckets by it.
struct RecordKey {
    std::size_t hash;
    const VaultRecord* record;

    explicit RecordKey(const VaultRecord& r) : hash(hash_record(r)), record(&r) {}
    friend bool operator==(const RecordKey& a, const RecordKey& b) {
        return a.hash == b.hash && *a.record == *b.record;
    }
};

struct RecordKeyHash {
    std::size_t operator()(const RecordKey& key) const noexcept { return key.hash; }
};

Error sync_failed(const QString& reason) {
    return make_error(QStringLiteral("同步失败，没有同步任何数据：%1").arg(reason));
}

}  // namespace

Result<SyncCounts> sync_from(SqliteDb& vault, const SourceVault& source) {
    auto existing_records = statements::all_records(vault);
    if (!existing_records) return sync_failed(existing_records.error());
    auto existing_categories = statements::list_categories(vault);
    if (!existing_categories) return sync_failed(existing_categories.error());

    std::unordered_set<RecordKey, RecordKeyHash> records;
    records.reserve(existing_records->size() + source.records.size());
    for (const VaultRecord& record : *existing_records) records.insert(RecordKey(record));
    std::unordered_set<std::string> categories(existing_categories->begin(),
                                               existing_categories->end());

    SyncCounts counts;
    SqliteTransaction transaction(vault);
    if (Status begun = transaction.begin_status(); !begun) return sync_failed(begun.error());
    for (const VaultRecord& record : source.records) {
        // Added to the set as it goes in, so a repeated source row is added once.
        if (!records.insert(RecordKey(record)).second) continue;
        if (auto id = statements::insert_record(vault, record); !id) return sync_failed(id.error());
        ++counts.records;
    }
    for (const std::string& category : source.categories) {
        if (!categories.insert(category).second) continue;
        if (Status status = statements::insert_category(vault, category); !status) {
            return sync_failed(status.error());
        }
        ++counts.categories;
    }
    if (Status committed = transaction.commit(); !committed) return sync_failed(committed.error());
    return counts;
}

Result<SyncCounts> sync_database(SqliteDb& vault, const QString& source_path) {
    auto source = read_source_vault(source_path);
    if (!source) return make_error(source.error());
    return sync_from(vault, *source);
}

}  // namespace korvane::tools

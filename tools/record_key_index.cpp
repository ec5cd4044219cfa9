// SPDX-License-Identifier: GPL-3.0-or-later
// RecordKeyIndex: the vault's records as digests in an open-addressed table, checked against
// the stored row whenever a digest matches.
#include "tools/record_key_index.h"

#include <functional>
#include <string_view>

namespace korvane::tools {
namespace {

constexpr std::size_t kFirstCapacity = 1024;  // a power of two, as every later size

// Kept at most four fifths full, so that a miss, the common case of a sync, ends within a
// few slots of the same cache lines.
bool too_full(std::size_t used, std::size_t capacity) { return used * 5 > capacity * 4; }

Error index_failed(const QString& reason) {
    return make_error(QStringLiteral("读取记录失败（%1）").arg(reason));
}

}  // namespace

RecordKeyIndex::RecordKeyIndex(SqliteStatement row_by_oid)
    : row_by_oid_(std::move(row_by_oid)), slots_(kFirstCapacity) {}

Result<RecordKeyIndex> RecordKeyIndex::build(SqliteDb& db) {
    auto row_by_oid = db.prepare("select bt,name,pass,bz,type from userpass where OID=?");
    if (!row_by_oid) return index_failed(row_by_oid.error());
    RecordKeyIndex index(std::move(*row_by_oid));
    auto all = db.prepare("select OID,bt,name,pass,bz,type from userpass");
    if (!all) return index_failed(all.error());
    while (all->step()) {
        const RecordView record(all->column_view(1), all->column_view(2), all->column_view(3),
                                all->column_view(4), all->column_view(5));
        index.add(digest(record), all->column_int64(0));
    }
    if (all->failed()) return index_failed(all->error());
    return index;
}

std::uint64_t RecordKeyIndex::digest(const RecordView& record) {
    std::uint64_t seed = 0;
    for (std::string_view field :
         {record.title, record.account, record.password, record.remark, record.category}) {
        const std::uint64_t h = std::hash<std::string_view>{}(field);
        seed ^= h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    }
    // 0 marks an empty slot.
    return seed == 0 ? 1 : seed;
}

void RecordKeyIndex::add(std::uint64_t digest, RecordId oid) {
    if (too_full(used_ + 1, slots_.size())) grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = std::size_t(digest) & mask;
    while (slots_[i].digest != 0) i = (i + 1) & mask;
    slots_[i] = Slot{digest, oid};
    ++used_;
}

void RecordKeyIndex::grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.digest == 0) continue;
        std::size_t i = std::size_t(slot.digest) & mask;
        while (slots_[i].digest != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

Result<bool> RecordKeyIndex::contains(const RecordView& record, std::uint64_t digest) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = std::size_t(digest) & mask; slots_[i].digest != 0; i = (i + 1) & mask) {
        if (slots_[i].digest != digest) continue;
        auto equal = stored_row_equals(slots_[i].oid, record);
        if (!equal || *equal) return equal;
    }
    return false;
}

Result<bool> RecordKeyIndex::stored_row_equals(RecordId oid, const RecordView& record) {
    row_by_oid_.reset();
    row_by_oid_.bind_int64(1, oid);
    const bool found = row_by_oid_.step();
    if (row_by_oid_.failed()) return index_failed(row_by_oid_.error());
    const bool equal = found && RecordView(row_by_oid_.column_view(0), row_by_oid_.column_view(1),
                                           row_by_oid_.column_view(2), row_by_oid_.column_view(3),
                                           row_by_oid_.column_view(4)) == record;
    // No read stays open on the table the sync is writing to.
    row_by_oid_.reset();
    return equal;
}

}  // namespace korvane::tools

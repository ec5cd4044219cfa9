// SPDX-License-Identifier: GPL-3.0-or-later
// RecordKeyIndex: which records a vault holds, kept as a 64-bit digest and a row id per record
// instead of the records themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "vault/result.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane::tools {

class RecordKeyIndex {
public:
    // Reads the digest of every record of db's userpass. The index answers for db only.
    static Result<RecordKeyIndex> build(SqliteDb& db);

    static std::uint64_t digest(const RecordView& record);
    // Whether db holds a record with all five fields equal byte for byte. A digest that
    // matches is checked against the stored row, so two records that share one are told
    // apart.
    Result<bool> contains(const RecordView& record, std::uint64_t digest);
    // Notes a record just written to db under oid.
    void add(std::uint64_t digest, RecordId oid);

private:
    struct Slot {
        std::uint64_t digest = 0;  // 0 marks an empty slot
        RecordId oid = 0;
    };

    explicit RecordKeyIndex(SqliteStatement row_by_oid);
    void grow();
    Result<bool> stored_row_equals(RecordId oid, const RecordView& record);

    SqliteStatement row_by_oid_;
    // Open addressing with linear probing: a million records take 32 MiB, a fifth of what
    // the same set in std::unordered_multimap nodes would.
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace korvane::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Every statement the program runs against a vault database, one function each. Values are
// bound as parameters, so any byte string (quotes included) is stored and matched as typed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vault/result.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane::statements {

// Schema of a new vault: userad, type, userpass, in that order.
Status create_schema(SqliteDb& db);

// Master password row (userad, OID 1).
Status insert_master_password(SqliteDb& db, std::string_view padded_password);
// The first userad row's pass; nullopt when there is no row (or the table is missing).
Result<std::optional<std::string>> read_master_password(SqliteDb& db);
// Fails when no row with OID 1 was changed.
Status update_master_password(SqliteDb& db, std::string_view padded_password);

// Categories (table type), in table order; duplicates kept.
Result<std::vector<std::string>> list_categories(SqliteDb& db);
Status insert_category(SqliteDb& db, std::string_view name);
// The same, prepared once for many categories.
Result<SqliteStatement> prepare_category_insert(SqliteDb& db);
Status insert_category(SqliteDb& db, SqliteStatement& insert, std::string_view name);
// Removes every category row with that name; records keep their type text.
Status delete_category(SqliteDb& db, std::string_view name);
Result<bool> category_exists(SqliteDb& db, std::string_view name);

// Every change below fails when it changed no row (an insert, unless it added exactly one):
// success is never reported for a change that did not happen.

// Records (table userpass).
Result<RecordId> insert_record(SqliteDb& db, const VaultRecord& record);
// From an older vault file: the category is stored as an empty text.
Result<RecordId> insert_record_without_category(SqliteDb& db, const VaultRecord& record);
// The record insert prepared once, for the tools that add many rows in one transaction; each
// row then costs a bind and a step instead of parsing the statement again.
Result<SqliteStatement> prepare_record_insert(SqliteDb& db);
// Runs the prepared insert for one more record, with insert_record's checks and messages.
Result<RecordId> insert_record(SqliteDb& db, SqliteStatement& insert, const RecordView& record);
Status update_record(SqliteDb& db, RecordId oid, const VaultRecord& record);
// nullopt when no such row.
Result<std::optional<VaultRecord>> load_record(SqliteDb& db, RecordId oid);
Status delete_record(SqliteDb& db, RecordId oid);
Status move_record(SqliteDb& db, RecordId oid, std::string_view category);
// Empty text when no such row.
Result<std::string> record_password(SqliteDb& db, RecordId oid);
// The whole remark, for a tooltip; empty when no such record.
Result<std::string> record_remark(SqliteDb& db, RecordId oid);
Result<std::vector<VaultRecord>> all_records(SqliteDb& db);
// The rows of all_records one at a time as they are read, for a caller that writes them out
// and keeps none; visit returns false to stop early.
Status for_each_record(SqliteDb& db, const std::function<bool(const VaultRecord&)>& visit);
Result<bool> record_exists(SqliteDb& db, const VaultRecord& record);

// The record list's rows: one category, or the root view (every record whose type is the
// name of no category; with no categories at all, every record, NULL types included).
Result<std::vector<RecordSummary>> list_records_of_category(SqliteDb& db,
                                                            std::string_view category);
Result<std::vector<RecordSummary>> list_root_records(SqliteDb& db);
// The same rows one at a time as they are read; visit returns false to stop early.
using SummaryVisitor = std::function<bool(const RecordSummary&)>;
Status for_each_record_of_category(SqliteDb& db, std::string_view category,
                                   const SummaryVisitor& visit);
Status for_each_root_record(SqliteDb& db, const SummaryVisitor& visit);

// True when the file's tables userpass and type both exist (a database-version vault).
Result<bool> has_vault_tables(SqliteDb& db);

}  // namespace korvane::statements

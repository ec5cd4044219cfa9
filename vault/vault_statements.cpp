// SPDX-License-Identifier: GPL-3.0-or-later
// The vault's SQL statements over tables userad, type and userpass.
#include "vault/vault_statements.h"

#include <sqlite3.h>

#include <initializer_list>
#include <utility>

#include "vault/secure_wipe.h"

namespace korvane::statements {
namespace {

// Messages read "<action>失败（<cause>）", the cause carrying SQLite's own text.
Error failure(const char* action, const QString& cause) {
    return make_error(QStringLiteral("%1失败（%2）").arg(QString::fromUtf8(action), cause));
}

Result<SqliteStatement> prepare(SqliteDb& db, std::string_view sql, const char* action) {
    Result<SqliteStatement> stmt = db.prepare(sql);
    if (!stmt) return failure(action, stmt.error());
    return stmt;
}

void bind_texts(SqliteStatement& stmt, std::initializer_list<std::string_view> values) {
    int index = 1;
    for (std::string_view value : values) stmt.bind_text(index++, value);
}

void bind_record(SqliteStatement& stmt, const VaultRecord& record) {
    bind_texts(stmt,
               {record.title, record.account, record.password, record.remark, record.category});
}

// Runs a statement that returns no rows.
Status finish(SqliteStatement& stmt, const char* action) {
    while (stmt.step()) {
    }
    if (stmt.failed()) return failure(action, stmt.error());
    return Status::success();
}

// Runs a change and fails unless it touched at least one row (exactly one for an insert):
// success is never reported for a change that did not happen.
Status finish_change(SqliteDb& db, SqliteStatement& stmt, const char* action, bool exactly_one,
                     const QString& none) {
    if (Status status = finish(stmt, action); !status) return status;
    const int changed = sqlite3_changes(db.handle());
    if (changed == 0) return failure(action, none);
    if (exactly_one && changed != 1) {
        return failure(action, QStringLiteral("改动了 %1 行，而不是一行").arg(changed));
    }
    return Status::success();
}

QString no_record() { return QStringLiteral("密码库中没有这条记录"); }

VaultRecord read_record(const SqliteStatement& stmt) {
    return VaultRecord{stmt.column_text(0), stmt.column_text(1), stmt.column_text(2),
                       stmt.column_text(3), stmt.column_text(4)};
}

// Whether the statement yields at least one row.
Result<bool> any_row(SqliteStatement& stmt, const char* action) {
    const bool row = stmt.step();
    if (stmt.failed()) return failure(action, stmt.error());
    return row;
}

// One row object refilled for every row: its strings keep their room, so a long listing
// allocates next to nothing.
Status visit_summaries(SqliteStatement& stmt, const char* action, const SummaryVisitor& visit) {
    RecordSummary row;
    while (stmt.step()) {
        row.oid = stmt.column_int64(0);
        row.title.assign(stmt.column_view(1));
        row.account.assign(stmt.column_view(2));
        row.remark.assign(stmt.column_view(3));
        if (!visit(row)) break;
    }
    if (stmt.failed()) return failure(action, stmt.error());
    return Status::success();
}

Result<std::vector<RecordSummary>> collect_summaries(
    const std::function<Status(const SummaryVisitor&)>& run) {
    std::vector<RecordSummary> rows;
    Status read = run([&rows](const RecordSummary& row) {
        rows.push_back(row);
        return true;
    });
    if (!read) return make_error(read.error());
    return rows;
}

constexpr char kSaveRecord[] = "保存记录";
constexpr char kAddCategory[] = "添加分类";

Result<RecordId> insert_row(SqliteDb& db, const VaultRecord& record, std::string_view type) {
    auto stmt = prepare_record_insert(db);
    if (!stmt) return make_error(stmt.error());
    return insert_record(
        db, *stmt, RecordView(record.title, record.account, record.password, record.remark, type));
}

Result<bool> table_exists(SqliteDb& db, std::string_view table, const char* action) {
    // Table names resolve case-insensitively in SQLite, so the check does too.
    auto stmt = prepare(
        db, "select 1 from sqlite_master where type='table' and name=? collate nocase", action);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, table);
    return any_row(*stmt, action);
}

}  // namespace

Status create_schema(SqliteDb& db) {
    constexpr char kAction[] = "创建密码库";
    for (const char* sql :
         {"CREATE TABLE userad(pass TEXT)", "CREATE TABLE type(leibie TEXT)",
          "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT)"}) {
        if (Status status = db.exec(sql); !status) return failure(kAction, status.error());
    }
    return Status::success();
}

Status insert_master_password(SqliteDb& db, std::string_view padded_password) {
    constexpr char kAction[] = "保存主密码";
    auto stmt = prepare(db, "insert into userad values(?)", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, padded_password);
    return finish_change(db, *stmt, kAction, true, QStringLiteral("没有写入主密码"));
}

Result<std::optional<std::string>> read_master_password(SqliteDb& db) {
    constexpr char kAction[] = "读取主密码";
    // A file without userad is told apart from a failing read: only the former means "none".
    auto exists = table_exists(db, "userad", kAction);
    if (!exists) return make_error(exists.error());
    if (!*exists) return std::optional<std::string>();
    auto stmt = prepare(db, "select * from userad", kAction);
    if (!stmt) return make_error(stmt.error());
    const bool row = stmt->step();
    if (stmt->failed()) return failure(kAction, stmt->error());
    if (!row) return std::optional<std::string>();
    return std::optional<std::string>(stmt->column_text(0));
}

Status update_master_password(SqliteDb& db, std::string_view padded_password) {
    constexpr char kAction[] = "修改主密码";
    auto stmt = prepare(db, "update userad set pass=? where OID=1", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, padded_password);
    if (Status status = finish(*stmt, kAction); !status) return status;
    if (sqlite3_changes(db.handle()) == 0) {
        return failure(kAction, QStringLiteral("密码库中没有主密码记录"));
    }
    return Status::success();
}

Result<std::vector<std::string>> list_categories(SqliteDb& db) {
    constexpr char kAction[] = "读取分类";
    auto stmt = prepare(db, "select * from type", kAction);
    if (!stmt) return make_error(stmt.error());
    std::vector<std::string> names;
    while (stmt->step()) names.push_back(stmt->column_text(0));
    if (stmt->failed()) return failure(kAction, stmt->error());
    return names;
}

Status insert_category(SqliteDb& db, std::string_view name) {
    auto stmt = prepare_category_insert(db);
    if (!stmt) return make_error(stmt.error());
    return insert_category(db, *stmt, name);
}

Result<SqliteStatement> prepare_category_insert(SqliteDb& db) {
    return prepare(db, "insert into type values(?)", kAddCategory);
}

Status insert_category(SqliteDb& db, SqliteStatement& insert, std::string_view name) {
    insert.reset();
    insert.bind_text(1, name);
    return finish_change(db, insert, kAddCategory, true, QStringLiteral("没有写入分类"));
}

Status delete_category(SqliteDb& db, std::string_view name) {
    constexpr char kAction[] = "删除分类";
    auto stmt = prepare(db, "delete from type where leibie = ?", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, name);
    return finish_change(db, *stmt, kAction, false, QStringLiteral("密码库中没有这个分类"));
}

Result<bool> category_exists(SqliteDb& db, std::string_view name) {
    constexpr char kAction[] = "查找分类";
    auto stmt = prepare(db, "select * from type where leibie =?", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, name);
    return any_row(*stmt, kAction);
}

Result<RecordId> insert_record(SqliteDb& db, const VaultRecord& record) {
    return insert_row(db, record, record.category);
}

Result<RecordId> insert_record_without_category(SqliteDb& db, const VaultRecord& record) {
    return insert_row(db, record, std::string_view());
}

Result<SqliteStatement> prepare_record_insert(SqliteDb& db) {
    return prepare(db, "insert into userpass values(?,?,?,?,?)", kSaveRecord);
}

Result<RecordId> insert_record(SqliteDb& db, SqliteStatement& insert, const RecordView& record) {
    // Every parameter is bound again with its own length, so nothing of a longer value bound
    // for an earlier row is left behind. Borrowed, not copied: the row outlives the step, and
    // the copies were a fifth of an import's time.
    insert.reset();
    int index = 1;
    for (std::string_view value :
         {record.title, record.account, record.password, record.remark, record.category}) {
        insert.bind_borrowed_text(index++, value);
    }
    if (Status status =
            finish_change(db, insert, kSaveRecord, true, QStringLiteral("没有写入记录"));
        !status) {
        return make_error(status.error());
    }
    return db.last_insert_rowid();
}

Status update_record(SqliteDb& db, RecordId oid, const VaultRecord& record) {
    constexpr char kAction[] = "修改记录";
    auto stmt =
        prepare(db, "update userpass set bt=?,name=?,pass=?,bz=?,type=? where OID=?", kAction);
    if (!stmt) return make_error(stmt.error());
    bind_record(*stmt, record);
    stmt->bind_int64(6, oid);
    return finish_change(db, *stmt, kAction, true, no_record());
}

Result<std::optional<VaultRecord>> load_record(SqliteDb& db, RecordId oid) {
    constexpr char kAction[] = "读取记录";
    auto stmt = prepare(db, "select * from userpass where OID=?", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_int64(1, oid);
    const bool row = stmt->step();
    if (stmt->failed()) return failure(kAction, stmt->error());
    if (!row) return std::optional<VaultRecord>();
    return std::optional<VaultRecord>(read_record(*stmt));
}

Status delete_record(SqliteDb& db, RecordId oid) {
    constexpr char kAction[] = "删除记录";
    auto stmt = prepare(db, "delete from userpass where OID=?", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_int64(1, oid);
    return finish_change(db, *stmt, kAction, true, no_record());
}

Status move_record(SqliteDb& db, RecordId oid, std::string_view category) {
    constexpr char kAction[] = "移动记录";
    auto stmt = prepare(db, "update userpass set type=? where OID=?", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, category);
    stmt->bind_int64(2, oid);
    return finish_change(db, *stmt, kAction, true, no_record());
}

namespace {

// One column of one record; empty when no such record.
Result<std::string> record_field(SqliteDb& db, RecordId oid, const char* sql, const char* action) {
    auto stmt = prepare(db, sql, action);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_int64(1, oid);
    const bool row = stmt->step();
    if (stmt->failed()) return failure(action, stmt->error());
    return row ? stmt->column_text(0) : std::string();
}

}  // namespace

Result<std::string> record_password(SqliteDb& db, RecordId oid) {
    return record_field(db, oid, "select pass from userpass where OID=?", "读取密码");
}

Result<std::string> record_remark(SqliteDb& db, RecordId oid) {
    return record_field(db, oid, "select bz from userpass where OID=?", "读取备注");
}

Result<std::vector<VaultRecord>> all_records(SqliteDb& db) {
    std::vector<VaultRecord> records;
    Status read = for_each_record(db, [&records](const VaultRecord& record) {
        records.push_back(record);
        return true;
    });
    if (!read) return make_error(read.error());
    return records;
}

Status for_each_record(SqliteDb& db, const std::function<bool(const VaultRecord&)>& visit) {
    constexpr char kAction[] = "读取记录";
    auto stmt = prepare(db, "select * from userpass", kAction);
    if (!stmt) return make_error(stmt.error());
    VaultRecord record;
    // Passwords pass through it; refilled in place, it is wiped once at the end.
    struct Wipe {
        VaultRecord& record;
        ~Wipe() { secure_wipe(record.password); }
    } wipe{record};
    while (stmt->step()) {
        record.title.assign(stmt->column_view(0));
        record.account.assign(stmt->column_view(1));
        record.password.assign(stmt->column_view(2));
        record.remark.assign(stmt->column_view(3));
        record.category.assign(stmt->column_view(4));
        if (!visit(record)) break;
    }
    if (stmt->failed()) return failure(kAction, stmt->error());
    return Status::success();
}

Result<bool> record_exists(SqliteDb& db, const VaultRecord& record) {
    constexpr char kAction[] = "查找记录";
    auto stmt = prepare(
        db, "select * from userpass where bt = ? and name =? and pass =? and bz =? and type =?",
        kAction);
    if (!stmt) return make_error(stmt.error());
    bind_record(*stmt, record);
    return any_row(*stmt, kAction);
}

Result<std::vector<RecordSummary>> list_records_of_category(SqliteDb& db,
                                                            std::string_view category) {
    return collect_summaries([&](const SummaryVisitor& visit) {
        return for_each_record_of_category(db, category, visit);
    });
}

Result<std::vector<RecordSummary>> list_root_records(SqliteDb& db) {
    return collect_summaries(
        [&](const SummaryVisitor& visit) { return for_each_root_record(db, visit); });
}

Status for_each_record_of_category(SqliteDb& db, std::string_view category,
                                   const SummaryVisitor& visit) {
    constexpr char kAction[] = "读取记录列表";
    auto stmt = prepare(db, "select OID,bt,name,bz from userpass where type=?", kAction);
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, category);
    return visit_summaries(*stmt, kAction, visit);
}

Status for_each_root_record(SqliteDb& db, const SummaryVisitor& visit) {
    constexpr char kAction[] = "读取记录列表";
    // Same rows as the chain "type <> 'A' AND type <> 'B' ..." over every category, without
    // the WHERE when there are none: NOT IN over an empty set is true even for a NULL type,
    // and against a non-empty set a NULL type yields NULL, not true. The chain was built from
    // the category names as read, where a NULL category read as the empty text; read so here,
    // one damaged category row cannot empty the root view.
    auto stmt = prepare(db,
                        "select OID,bt,name,bz from userpass where type not in (select "
                        "ifnull(leibie,'') from type)",
                        kAction);
    if (!stmt) return make_error(stmt.error());
    return visit_summaries(*stmt, kAction, visit);
}

Result<bool> has_vault_tables(SqliteDb& db) {
    constexpr char kAction[] = "检查密码库";
    for (std::string_view table : {"userpass", "type"}) {
        auto exists = table_exists(db, table, kAction);
        if (!exists || !*exists) return exists;
    }
    return true;
}

}  // namespace korvane::statements

// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and checking a left-over plain working database.
#include "vault/work_database.h"

namespace korvane {

Result<SqliteDb> open_work_database(const QString& path) {
    Result<SqliteDb> db = SqliteDb::open(path, SqliteDb::Mode::ReadWrite);
    if (!db) return db;
    for (std::string_view pragma : {"PRAGMA secure_delete=ON", "PRAGMA temp_store=MEMORY"}) {
        if (Status set = db->exec(pragma); !set) return make_error(set.error());
    }
    return db;
}

Status quick_check(SqliteDb& db) {
    Result<SqliteStatement> stmt = db.prepare("PRAGMA quick_check");
    if (!stmt) return make_error(stmt.error());
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    if (!row || stmt->column_text(0) != "ok") {
        return make_error(QStringLiteral("数据库已损坏（完整性检查未通过）"));
    }
    return Status::success();
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, checking and copying the plain working database.
#include "vault/work_database.h"

#include <sqlite3.h>

#include <QFile>

#include "vault/file_io.h"

namespace korvane {
namespace {

Status copy_pages(sqlite3* source, sqlite3* target) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) {
        return make_error(
            QStringLiteral("复制数据库失败（%1）").arg(QString::fromUtf8(sqlite3_errmsg(target))));
    }
    const int step = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup);
    if (step != SQLITE_DONE || finish != SQLITE_OK) {
        return make_error(
            QStringLiteral("复制数据库失败（%1）").arg(QString::fromUtf8(sqlite3_errmsg(target))));
    }
    return Status::success();
}

}  // namespace

bool create_private_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

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

Status backup_into_new_file(SqliteDb& source, const QString& target_path) {
    if (!create_private_file(target_path)) {
        return make_error(QStringLiteral("无法创建数据库文件“%1”。").arg(native_path(target_path)));
    }
    Status copied = Status::success();
    {
        Result<SqliteDb> target = open_work_database(target_path);
        copied = target ? copy_pages(source.handle(), target->handle())
                        : Status(make_error(target.error()));
    }
    if (!copied) {
        QFile::remove(target_path);
        QFile::remove(target_path + QStringLiteral("-journal"));
    }
    return copied;
}

}  // namespace korvane

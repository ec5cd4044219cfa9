// SPDX-License-Identifier: GPL-3.0-or-later
// Backup export through sqlite3_backup_* into an AtomicFileWriter's temporary file.
#include "tools/backup_export.h"

#include <sqlite3.h>

#include "vault/atomic_file_writer.h"
#include "vault/file_io.h"
#include "vault/secure_wipe.h"

namespace korvane::tools {
namespace {

Error backup_error(const QString& target_path, const QString& reason) {
    return make_error(
        QStringLiteral("导出数据库备份“%1”失败：%2").arg(native_path(target_path), reason));
}

QString sqlite_reason(sqlite3* db, int rc) {
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

// Copies every page of the source's main database into the (empty) file at path.
Status copy_pages(sqlite3* source, const QString& path, const QString& target_path) {
    sqlite3* dest = nullptr;
    int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &dest, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        Error error = backup_error(target_path, sqlite_reason(dest, rc));
        sqlite3_close(dest);
        return error;
    }
    sqlite3_backup* backup = sqlite3_backup_init(dest, "main", source, "main");
    if (!backup) {
        Error error = backup_error(target_path, sqlite_reason(dest, SQLITE_ERROR));
        sqlite3_close(dest);
        return error;
    }
    // One step over all pages: the copy is one consistent snapshot of the source.
    rc = sqlite3_backup_step(backup, -1);
    const int finish_rc = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE) rc = finish_rc;
    QString reason;
    if (rc != SQLITE_OK && rc != SQLITE_DONE) reason = sqlite_reason(dest, rc);
    // Closing releases SQLite's locks before the writer's own descriptor is flushed and closed.
    const int close_rc = sqlite3_close(dest);
    if (reason.isEmpty() && close_rc != SQLITE_OK)
        reason = QString::fromUtf8(sqlite3_errstr(close_rc));
    if (!reason.isEmpty()) return backup_error(target_path, reason);
    return Status::success();
}

}  // namespace

Status export_backup(SqliteDb& vault, const QString& target_path, const SessionFiles& session) {
    if (Status allowed = session.check_output(target_path); !allowed) return allowed;
    if (!vault.is_open()) {
        return backup_error(target_path, QStringLiteral("密码库数据库未打开"));
    }
    AtomicFileWriter writer(target_path);
    if (Status status = writer.open(); !status) return status;
    if (Status status = copy_pages(vault.handle(), writer.temporary_path(), target_path); !status) {
        return status;
    }
    return writer.commit();
}

Status export_backup(SqliteDb& vault, const BackupSink& sink) {
    const auto failed = [](const QString& reason) {
        return make_error(QStringLiteral("导出数据库备份失败：%1").arg(reason));
    };
    if (!vault.is_open()) return failed(QStringLiteral("密码库数据库未打开"));
    sqlite3_int64 size = 0;
    // A vault opened in memory is read in place; a file the library copies into memory.
    if (const unsigned char* image =
            sqlite3_serialize(vault.handle(), "main", &size, SQLITE_SERIALIZE_NOCOPY)) {
        return sink(std::string_view(reinterpret_cast<const char*>(image), std::size_t(size)));
    }
    unsigned char* copy = sqlite3_serialize(vault.handle(), "main", &size, 0);
    if (copy == nullptr) return failed(sqlite_reason(vault.handle(), SQLITE_NOMEM));
    const Status written =
        sink(std::string_view(reinterpret_cast<const char*>(copy), std::size_t(size)));
    secure_wipe(copy, std::size_t(size));
    sqlite3_free(copy);
    return written;
}

}  // namespace korvane::tools

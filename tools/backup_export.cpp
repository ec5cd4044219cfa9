// SPDX-License-Identifier: GPL-3.0-or-later
// Backup export: the vault's copy of its database, into an AtomicFileWriter's temporary file or
// handed over as one image.
#include "tools/backup_export.h"

#include "vault/atomic_file_writer.h"
#include "vault/database_copy.h"
#include "vault/file_io.h"

namespace korvane::tools {
namespace {

Error backup_error(const QString& target_path, const QString& reason) {
    return make_error(
        QStringLiteral("导出数据库备份“%1”失败：%2").arg(native_path(target_path), reason));
}

}  // namespace

Status export_backup(SqliteDb& vault, const QString& target_path, const SessionFiles& session) {
    if (Status allowed = session.check_output(target_path); !allowed) return allowed;
    if (!vault.is_open()) {
        return backup_error(target_path, QStringLiteral("密码库数据库未打开"));
    }
    AtomicFileWriter writer(target_path);
    if (Status status = writer.open(); !status) return status;
    if (Status copied = copy_database_to_file(vault, writer.temporary_path()); !copied) {
        return backup_error(target_path, copied.error());
    }
    return writer.commit();
}

Status export_backup(SqliteDb& vault, const BackupSink& sink) {
    const auto failed = [](const QString& reason) {
        return make_error(QStringLiteral("导出数据库备份失败：%1").arg(reason));
    };
    if (!vault.is_open()) return failed(QStringLiteral("密码库数据库未打开"));
    const Result<DatabaseImage> image = DatabaseImage::of(vault);
    if (!image) return failed(image.error());
    return sink(image->bytes());
}

}  // namespace korvane::tools

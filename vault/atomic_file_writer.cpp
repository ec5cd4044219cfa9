// SPDX-License-Identifier: GPL-3.0-or-later
// AtomicFileWriter: temporary file beside the target, flushed, then renamed over it.
#include "vault/atomic_file_writer.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "vault/fault_injection.h"
#include "vault/file_io.h"
#include "vault/write_failure.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString file_error(const QString& what, const QString& path, const QString& reason) {
    return QStringLiteral("%1“%2”失败：%3").arg(what, native_path(path), reason);
}

bool sync_to_disk(int fd) {
#ifdef Q_OS_WIN
    return _commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// Makes the rename itself durable; a failure here is not worth failing the write for.
void sync_directory(const QString& dir) {
#ifndef Q_OS_WIN
    int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(dir);
#endif
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(QString target_path) : target_path_(std::move(target_path)) {}

Result<QString> AtomicFileWriter::resolve_links(const QString& path) {
    QString current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink()) return current;
        // Relative targets count from the link's own folder; symLinkTarget() resolves that.
        current = info.symLinkTarget();
        if (current.isEmpty()) break;
    }
    return make_error(
        file_error(QStringLiteral("解析符号链接"), path, QStringLiteral("链接层数过多或无法读取")));
}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

Status AtomicFileWriter::open() {
    Result<QString> resolved = resolve_links(target_path_);
    if (!resolved) return make_error(resolved.error());
    // The temporary goes beside the file it replaces, so the rename stays on one file system.
    final_path_ = *resolved;
    // A random middle part keeps two writers of one folder, and any user file, apart.
    for (int attempt = 0; attempt < 16; ++attempt) {
        // Joined, not formatted: a path may hold "%2" itself, which a second arg() would fill.
        temp_path_ = final_path_ + QLatin1Char('.') +
                     QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                              QLatin1Char('0')) +
                     QLatin1String(kTempSuffix);
        file_.setFileName(temp_path_);
        if (fault::should_fail("atomic.open")) {
            return make_error(file_error(QStringLiteral("创建文件"), target_path_,
                                         QStringLiteral("模拟的写入错误")));
        }
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
            // NewOnly applies the mode through the umask; the file must stay private anyway.
            file_.setPermissions(kOwnerOnly);
            return Status::success();
        }
        if (file_.error() != QFileDevice::OpenError || !QFileInfo::exists(temp_path_)) break;
    }
    QString reason = file_error_text(file_);
    temp_path_.clear();
    return make_error(file_error(QStringLiteral("创建文件"), target_path_, reason));
}

Status AtomicFileWriter::write(const char* data, qint64 size) {
    if (fault::should_fail("atomic.write")) {
        return make_error(
            file_error(QStringLiteral("写入文件"), target_path_, QStringLiteral("模拟的写入错误")));
    }
    errno = 0;
    if (file_.write(data, size) != size) {
        const QString reason = write_failure_reason(errno, file_.errorString());
        return make_error(file_error(QStringLiteral("写入文件"), target_path_, reason));
    }
    return Status::success();
}

Status AtomicFileWriter::commit() {
    if (!file_.isOpen()) {
        return make_error(
            file_error(QStringLiteral("写入文件"), target_path_, QStringLiteral("文件未打开")));
    }
    errno = 0;
    bool flushed = file_.flush() && sync_to_disk(file_.handle());
    if (fault::should_fail("atomic.sync")) flushed = false;
    if (!flushed) {
        const QString reason = write_failure_reason(errno, file_.errorString());
        discard();
        return make_error(file_error(QStringLiteral("写入文件"), target_path_, reason));
    }
    file_.close();
    std::error_code ec;
    if (fault::should_fail("atomic.rename")) {
        ec = std::make_error_code(std::errc::io_error);
    } else {
        std::filesystem::rename(QFile::encodeName(temp_path_).toStdString(),
                                QFile::encodeName(final_path_).toStdString(), ec);
    }
    if (ec) {
        discard();
        return make_error(
            file_error(QStringLiteral("保存文件"), target_path_,
                       system_error_text(ec.value(), QString::fromLocal8Bit(ec.message()))));
    }
    temp_path_.clear();
    sync_directory(QFileInfo(final_path_).absolutePath());
    return Status::success();
}

void AtomicFileWriter::discard() {
    if (file_.isOpen()) file_.close();
    if (!temp_path_.isEmpty()) {
        QFile::remove(temp_path_);
        temp_path_.clear();
    }
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// AtomicFileWriter: temporary file beside the target, flushed, then renamed over it.
#include "vault/atomic_file_writer.h"

#include <sys/stat.h>

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

// What a file that is no regular one is called in a message; empty for a regular file.
QString special_file_kind(mode_t mode) {
    if (S_ISREG(mode)) return QString();
    if (S_ISFIFO(mode)) return QStringLiteral("命名管道（FIFO）");
    if (S_ISCHR(mode)) return QStringLiteral("字符设备");
    if (S_ISBLK(mode)) return QStringLiteral("块设备");
    if (S_ISSOCK(mode)) return QStringLiteral("套接字");
    if (S_ISDIR(mode)) return QStringLiteral("文件夹");
    return QStringLiteral("特殊文件");
}

// Refuses resolved, the end of path's links, when it is there and is no regular file. Nothing
// there, or a path that cannot be looked at, is left to the open that follows to report.
Status refuse_special_file(const QString& path, const QString& resolved) {
    struct stat info {};
    if (::lstat(QFile::encodeName(resolved).constData(), &info) != 0) return Status::success();
    const QString kind = special_file_kind(info.st_mode);
    if (kind.isEmpty()) return Status::success();
    // One arg() call for all parts: a path may hold "%2" itself.
    const QString what =
        resolved == path
            ? QStringLiteral("“%1”是%2").arg(native_path(path), kind)
            : QStringLiteral("“%1”指向%2“%3”").arg(native_path(path), kind, native_path(resolved));
    return make_error(what +
                      QStringLiteral("，不是普通文件，不能写入，也不会被替换，请另选保存位置"));
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

Status AtomicFileWriter::check_target(const QString& path) {
    Result<QString> resolved = resolve_links(path);
    if (!resolved) return make_error(resolved.error());
    return refuse_special_file(path, *resolved);
}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

Status AtomicFileWriter::open() {
    Result<QString> resolved = resolve_links(target_path_);
    if (!resolved) return make_error(resolved.error());
    if (Status regular = refuse_special_file(target_path_, *resolved); !regular) return regular;
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
    // Asked again at the last moment: the target may have been swapped for a FIFO or a device
    // while the file was being written (or while a password was being typed).
    if (Status regular = refuse_special_file(target_path_, final_path_); !regular) {
        discard();
        return regular;
    }
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
    // A refused folder sync changes nothing (see sync_directory), so its point only marks the
    // moment just after the rename, for the kill tests.
    if (!fault::should_fail("atomic.sync_dir"))
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

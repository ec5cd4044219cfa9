// SPDX-License-Identifier: GPL-3.0-or-later
// Folder permissions and file kinds of the vault folder, looked at with lstat/stat only.
#include "vault/vault_folder_check.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "vault/file_io.h"

namespace korvane {
namespace {

Error not_regular(const QString& path, const QString& kind) {
    return make_error(QStringLiteral("“%1”不是普通文件，而是%2，密码库无法打开。\n"
                                     "请检查或移走这个文件后再试，程序没有改动任何文件。")
                          .arg(native_path(path), kind));
}

// Single quotes keep a folder name with spaces or shell characters one argument.
QString shell_quoted(const QString& path) {
    static const QString plain = QStringLiteral("/._-+,:@%=");
    for (QChar c : path) {
        if (!c.isLetterOrNumber() && !plain.contains(c)) {
            QString quoted = path;
            quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
            return QLatin1Char('\'') + quoted + QLatin1Char('\'');
        }
    }
    return path;
}

bool lstat_path(const QString& path, struct stat& info) {
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Present and not a plain regular file (links included).
Status check_plain_file(const QString& path) {
    struct stat info {};
    if (!lstat_path(path, info) || S_ISREG(info.st_mode)) return Status::success();
    return not_regular(path, file_kind_name(info.st_mode));
}

}  // namespace

QString file_kind_name(unsigned mode) {
    if (S_ISLNK(mode)) return QStringLiteral("符号链接");
    if (S_ISDIR(mode)) return QStringLiteral("文件夹");
    if (S_ISFIFO(mode)) return QStringLiteral("命名管道");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("设备文件");
    if (S_ISSOCK(mode)) return QStringLiteral("套接字");
    return QStringLiteral("特殊文件");
}

Status check_readable_source(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 ||
        S_ISREG(info.st_mode)) {
        return Status::success();
    }
    return make_error(QStringLiteral("“%1”不是普通文件，而是%2，无法读取。")
                          .arg(native_path(path), file_kind_name(info.st_mode)));
}

Status prepare_vault_folder(const QString& dir) {
    if (!QFileInfo::exists(dir)) {
        if (!QDir().mkpath(dir) ||
            !QFile::setPermissions(
                dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
            return make_error(QStringLiteral("无法创建密码库文件夹“%1”。").arg(native_path(dir)));
        }
    }
    struct stat info {};
    if (::stat(QFile::encodeName(dir).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return make_error(QStringLiteral("“%1”不是文件夹，密码库无法打开。").arg(native_path(dir)));
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return make_error(QStringLiteral("密码库文件夹“%1”其他用户也可以写入，"
                                         "别人可以替换其中的文件，所以密码库不能在这里打开。\n"
                                         "请先执行下面的命令，只允许自己访问这个文件夹：\n"
                                         "chmod 700 %2")
                              .arg(native_path(dir), shell_quoted(dir)));
    }
    return Status::success();
}

Status check_vault_entries(const QString& vault_path, const QString& work_path,
                           const QString& lock_path) {
    if (Status lock = check_plain_file(lock_path); !lock) return lock;
    if (Status work = check_plain_file(work_path); !work) return work;
    struct stat info {};
    if (!lstat_path(vault_path, info)) return Status::success();
    if (!S_ISLNK(info.st_mode)) {
        return S_ISREG(info.st_mode)
                   ? Status::success()
                   : Status(not_regular(vault_path, file_kind_name(info.st_mode)));
    }
    if (::stat(QFile::encodeName(vault_path).constData(), &info) == 0) {
        if (S_ISREG(info.st_mode)) return Status::success();
        return not_regular(vault_path,
                           QStringLiteral("指向%1的符号链接").arg(file_kind_name(info.st_mode)));
    }
    struct stat work {};
    if (errno == ENOENT && lstat_path(work_path, work)) return Status::success();
    return make_error(
        QStringLiteral("“%1”是一个符号链接，但它指向的文件“%2”不存在，"
                       "密码库无法打开。\n程序没有改动任何文件。")
            .arg(native_path(vault_path), native_path(QFileInfo(vault_path).symLinkTarget())));
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// Folder permissions and file kinds of the vault folder, looked at with lstat/stat only.
#include "vault/vault_folder_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

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

Error no_folder(const QString& dir) {
    return make_error(QStringLiteral("“%1”不是文件夹，密码库无法打开。").arg(native_path(dir)));
}

Error cannot_enter(const QString& dir) {
    return make_error(QStringLiteral("无法进入密码库文件夹“%1”：没有访问权限。\n"
                                     "请检查这个文件夹（以及它上面各层文件夹）的权限后再试。")
                          .arg(native_path(dir)));
}

// Why following the link at path failed (errno from stat), in the user's words.
Error unreachable_link_target(const QString& path, int error) {
    const QString shown = native_path(path);
    const QString target = native_path(QFileInfo(path).symLinkTarget());
    switch (error) {
        case ENOENT:
            return make_error(QStringLiteral("“%1”是一个符号链接，但它指向的文件“%2”不存在，"
                                             "密码库无法打开。\n程序没有改动任何文件。")
                                  .arg(shown, target));
        case ELOOP:
            return make_error(QStringLiteral("“%1”是一个符号链接，但链接绕成了一个圈，"
                                             "永远到不了真正的文件，密码库无法打开。\n"
                                             "程序没有改动任何文件。")
                                  .arg(shown));
        case EACCES:
            return make_error(QStringLiteral("“%1”是一个符号链接，但没有权限访问它指向的文件“%2”，"
                                             "密码库无法打开。\n程序没有改动任何文件。")
                                  .arg(shown, target));
        default:
            return make_error(
                QStringLiteral("无法读取“%1”指向的文件“%2”（%3），密码库无法打开。")
                    .arg(shown, target, QString::fromLocal8Bit(std::strerror(error))));
    }
}

// Why lstat of a name in dir failed for another reason than its absence.
Error unreadable_name(const QString& dir, const QString& path, int error) {
    if (error == EACCES) return cannot_enter(dir);
    return make_error(QStringLiteral("无法查看文件“%1”（%2），密码库无法打开。")
                          .arg(native_path(path), QString::fromLocal8Bit(std::strerror(error))));
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
        return no_folder(dir);
    }
    // Without search permission every name inside looks absent, and the start would try to
    // make a new vault where one may well be.
    if (::access(QFile::encodeName(dir).constData(), X_OK) != 0 && errno == EACCES) {
        return cannot_enter(dir);
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

Status check_vault_entries(const VaultFiles& files) {
    const QString& vault_path = files.vault;
    const QString& work_path = files.legacy_work;
    if (Status lock = check_plain_file(files.lock); !lock) return lock;
    if (Status work = check_plain_file(work_path); !work) return work;
    // SQLite would open a FIFO at the journal's name, or write through a link there.
    if (Status journal = check_plain_file(files.vault_journal()); !journal) return journal;
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
    const int error = errno;
    struct stat work {};
    if (error == ENOENT && lstat_path(work_path, work)) return Status::success();
    return unreachable_link_target(vault_path, error);
}

Result<VaultPresence> vault_presence(const VaultFiles& files) {
    const QString& vault_path = files.vault;
    const QString& work_path = files.legacy_work;
    const QString& dir = files.dir;
    struct stat info {};
    if (::stat(QFile::encodeName(dir).constData(), &info) != 0) {
        const int error = errno;
        if (error == ENOTDIR) return no_folder(dir);
        struct stat link {};
        if (lstat_path(dir, link) && S_ISLNK(link.st_mode)) {
            return unreachable_link_target(dir, error);
        }
        if (error == ENOENT) return VaultPresence::Absent;
        return unreadable_name(QFileInfo(dir).absolutePath(), dir, error);
    }
    if (!S_ISDIR(info.st_mode)) return no_folder(dir);

    bool work_has_content = false;
    if (lstat_path(work_path, info)) {
        // A working file that is no regular file is there all the same; the start names it.
        work_has_content = !S_ISREG(info.st_mode) || info.st_size > 0;
    } else if (errno != ENOENT) {
        return unreadable_name(dir, work_path, errno);
    }
    if (!lstat_path(vault_path, info)) {
        if (errno != ENOENT) return unreadable_name(dir, vault_path, errno);
        return work_has_content ? VaultPresence::Present : VaultPresence::Absent;
    }
    if (!S_ISLNK(info.st_mode)) return VaultPresence::Present;
    if (::stat(QFile::encodeName(vault_path).constData(), &info) == 0) {
        return VaultPresence::Present;
    }
    // The working file of a vault unlocked through the link is the one copy there is.
    const int error = errno;
    if (error == ENOENT && work_has_content) return VaultPresence::Present;
    return unreachable_link_target(vault_path, error);
}

}  // namespace korvane

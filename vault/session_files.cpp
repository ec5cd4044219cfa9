// SPDX-License-Identifier: GPL-3.0-or-later
// SessionFiles: resolving a path as the system would and comparing it with the session's files.
#include "vault/session_files.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <deque>

#include "vault/atomic_file_writer.h"
#include "vault/file_io.h"
#include "vault/vault_files.h"
#include "vault/vault_session.h"

namespace korvane {
namespace {

// Past this many links the system itself gives up (ELOOP); the path is then taken as it is.
constexpr int kMaxLinks = 40;

// SQLite's companions of a database.
constexpr const char* kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};

// The link's own text, or empty when path is no symbolic link.
QString link_text(const QString& path) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) return QString();
    QByteArray buffer(qsizetype(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t size = ::readlink(name.constData(), buffer.data(), std::size_t(buffer.size()));
    if (size <= 0) return QString();
    return QFile::decodeName(buffer.left(qsizetype(size)));
}

QString parent_of(const QString& resolved) {
    const qsizetype slash = resolved.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : resolved.left(slash);
}

QString child_of(const QString& resolved, const QString& name) {
    return resolved.endsWith(u'/') ? resolved + name : resolved + u'/' + name;
}

bool same_inode(const QString& a, const struct stat& b) {
    struct stat info {};
    return ::stat(QFile::encodeName(a).constData(), &info) == 0 && info.st_dev == b.st_dev &&
           info.st_ino == b.st_ino;
}

}  // namespace

QString resolve_links(const QString& path) {
    // Made absolute by hand: QFileInfo would fold "link/.." before the link is followed.
    const QString absolute = path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;
    std::deque<QString> pending;
    for (const QString& part : absolute.split(u'/')) {
        pending.push_back(part);
    }
    QString resolved = QStringLiteral("/");
    int links = 0;
    while (!pending.empty()) {
        const QString part = pending.front();
        pending.pop_front();
        if (part.isEmpty() || part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            resolved = parent_of(resolved);
            continue;
        }
        const QString candidate = child_of(resolved, part);
        const QString target = link_text(candidate);
        if (target.isEmpty() || ++links > kMaxLinks) {
            resolved = candidate;
            continue;
        }
        // The link's text takes the place of its name; a relative one counts from its folder.
        const QStringList parts = target.split(u'/');
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending.push_front(*it);
        if (target.startsWith(u'/')) resolved = QStringLiteral("/");
    }
    return resolved;
}

SessionFiles::SessionFiles(const QString& vault_dir)
    : vault_dir_(QDir(vault_dir).absolutePath()), resolved_vault_dir_(resolve_links(vault_dir_)) {}

SessionFiles::SessionFiles(const VaultSession& session) : SessionFiles(session.vault_dir()) {}

Status SessionFiles::check_output(const QString& path) const {
    const QString resolved = resolve_links(path);
    if (!is_own_name(resolved) && !is_hard_link_to_own_file(resolved)) return Status::success();
    return make_error(
        QStringLiteral("“%1”是当前密码库（文件夹“%2”）正在使用的文件，不能写入，请另选保存位置")
            .arg(native_path(path), native_path(vault_dir_)));
}

bool SessionFiles::is_own_name(const QString& resolved_path) const {
    if (parent_of(resolved_path) != resolved_vault_dir_) return false;
    const QString name = resolved_path.mid(parent_of(resolved_path).size() + 1);
    const QString vault = QLatin1String(VaultFiles::kVaultName);
    const QString work = QLatin1String(VaultFiles::kLegacyWorkName);
    if (name == vault || name == work || name == QLatin1String(VaultFiles::kLockName)) {
        return true;
    }
    for (const char* suffix : kCompanionSuffixes) {
        if (name == vault + QLatin1String(suffix) || name == work + QLatin1String(suffix)) {
            return true;
        }
    }
    // A write in progress, "<name>.<random>.part" beside user.dat or user.tmp (with its journal
    // while a new vault file is filled), or the lock's private file,
    // "user.lock.<pid>.<random>.part", that becomes user.lock in one step.
    const QString part = QLatin1String(AtomicFileWriter::kTempSuffix);
    if (!name.endsWith(part) && !name.endsWith(part + QLatin1String(VaultFiles::kJournalSuffix))) {
        return false;
    }
    return name.startsWith(vault + u'.') || name.startsWith(work + u'.') ||
           name.startsWith(QLatin1String(VaultFiles::kLockName) + u'.');
}

bool SessionFiles::is_hard_link_to_own_file(const QString& resolved_path) const {
    struct stat target {};
    if (::stat(QFile::encodeName(resolved_path).constData(), &target) != 0) return false;
    for (const QString& own : existing_own_files()) {
        if (same_inode(own, target)) return true;
    }
    return false;
}

QStringList SessionFiles::existing_own_files() const {
    const QDir dir(resolved_vault_dir_);
    const QString work = QLatin1String(VaultFiles::kLegacyWorkName);
    QStringList names{QLatin1String(VaultFiles::kVaultName), work,
                      QLatin1String(VaultFiles::kLockName)};
    for (const char* suffix : kCompanionSuffixes) {
        names << QLatin1String(VaultFiles::kVaultName) + QLatin1String(suffix)
              << work + QLatin1String(suffix);
    }
    const QString part = QStringLiteral("*") + QLatin1String(AtomicFileWriter::kTempSuffix);
    names << dir.entryList({QLatin1String(VaultFiles::kVaultName) + u'.' + part, work + u'.' + part,
                            QLatin1String(VaultFiles::kLockName) + u'.' + part},
                           QDir::Files | QDir::Hidden | QDir::System);
    QStringList paths;
    for (const QString& name : names) paths << dir.filePath(name);
    return paths;
}

}  // namespace korvane

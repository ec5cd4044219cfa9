// SPDX-License-Identifier: GPL-3.0-or-later
// The default vault folder: the executable's own folder, or the per-user data folder.
#include "vault/default_vault_dir.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>

namespace korvane {
namespace {

// Compared by their canonical paths: /bin/korvane and /usr/bin/korvane are the same installed
// program on a merged-/usr system. A folder that does not exist is nobody's bindir.
bool same_folder(const QString& a, const QString& b) {
    const QString canonical_a = QFileInfo(a).canonicalFilePath();
    return !canonical_a.isEmpty() && canonical_a == QFileInfo(b).canonicalFilePath();
}

}  // namespace

QString choose_vault_dir(const VaultDirPlaces& places) {
    const QString& program_dir = places.program_dir;
    if (!program_dir.isEmpty() && QFileInfo(program_dir).isWritable() &&
        !same_folder(program_dir, places.install_bindir)) {
        return program_dir;
    }
    return places.user_data_dir;
}

bool create_private_folders(const QString& dir) {
    if (dir.isEmpty()) return false;
    const QString absolute = QDir::cleanPath(QDir(dir).absolutePath());
    if (QFileInfo(absolute).isDir()) return true;
    // Top down, so each folder's parent exists when it is made; mkdir leaves an existing one
    // (EEXIST) as it is.
    QString path;
    for (const QString& part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return QFileInfo(absolute).isDir();
}

QString user_data_home(const QString& xdg_data_home, const QString& home) {
    if (!xdg_data_home.isEmpty() && QDir::isAbsolutePath(xdg_data_home)) return xdg_data_home;
    return home + QStringLiteral("/.local/share");
}

QString default_vault_dir() {
    // Qt takes $XDG_DATA_HOME as it is, relative too; only the part below the data home
    // (the program's own folder name) is taken from it.
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString app = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString below = app.startsWith(generic) ? app.mid(generic.size()) : QString();
    const QString user_dir =
        QDir::cleanPath(user_data_home(qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath()) +
                        (below.isEmpty() ? QStringLiteral("/korvane") : below));
    const QString dir = choose_vault_dir(
        {QCoreApplication::applicationDirPath(), QStringLiteral(KORVANE_INSTALL_BINDIR), user_dir});
    // A folder that cannot be made is reported by the session's folder check, in its own words.
    (void)create_private_folders(dir);
    return dir;
}

}  // namespace korvane

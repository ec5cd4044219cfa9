// SPDX-License-Identifier: GPL-3.0-or-later
// SessionFiles: the files an unlocked vault keeps in its folder, and the refusal to write a
// user-named output over any of them.
#pragma once

#include <QString>
#include <QStringList>

#include "vault/result.h"

namespace korvane {

class VaultSession;

class SessionFiles {
public:
    explicit SessionFiles(const QString& vault_dir);
    explicit SessionFiles(const VaultSession& session);

    // Fails, naming path, when path is or leads to one of the session's files: the same name
    // once symbolic links (a chain, a dangling one too) and ".." are followed, or the same
    // device and inode as one that exists. Nothing is created or changed.
    Status check_output(const QString& path) const;

    const QString& vault_dir() const { return vault_dir_; }

private:
    bool is_own_name(const QString& resolved_path) const;
    bool is_hard_link_to_own_file(const QString& resolved_path) const;
    QStringList existing_own_files() const;

    QString vault_dir_;           // as given, absolute
    QString resolved_vault_dir_;  // with its symbolic links followed
};

// The path with every symbolic link in it followed, also a last one that leads nowhere, and
// "." and ".." applied in the order the system would; absolute.
QString resolve_links(const QString& path);

}  // namespace korvane

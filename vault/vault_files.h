// SPDX-License-Identifier: GPL-3.0-or-later
// VaultFiles: the names a vault uses in its folder, the one place they are written down.
#pragma once

#include <QString>

namespace korvane {

struct VaultFiles {
    // The vault itself, enciphered at every moment; SQLite reads and writes it in place.
    static constexpr char kVaultName[] = "user.dat";
    // The plain working file earlier versions kept while the vault was open. Only a start
    // that finds one left behind (a crash of such a version) still knows it: it is enciphered
    // into user.dat and removed.
    static constexpr char kLegacyWorkName[] = "user.tmp";
    // Held while a program has the folder open.
    static constexpr char kLockName[] = "user.lock";
    // SQLite's rollback journal beside a database, enciphered like it.
    static constexpr char kJournalSuffix[] = "-journal";

    explicit VaultFiles(const QString& vault_dir);

    QString dir;    // absolute
    QString vault;  // dir/user.dat
    QString legacy_work;
    QString lock;

    QString vault_journal() const { return vault + QLatin1String(kJournalSuffix); }
    QString legacy_work_journal() const { return legacy_work + QLatin1String(kJournalSuffix); }
};

// Why the start asks for a new master password.
enum class NewPasswordReason {
    NewVault,            // the folder holds no vault: one is created
    LeftOverNoPassword,  // a left-over working file stores no usable password
};

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "vault/vault_files.h"

#include <QDir>

namespace korvane {

VaultFiles::VaultFiles(const QString& vault_dir)
    : dir(QDir(vault_dir).absolutePath()),
      vault(QDir(dir).filePath(QLatin1String(kVaultName))),
      legacy_work(QDir(dir).filePath(QLatin1String(kLegacyWorkName))),
      lock(QDir(dir).filePath(QLatin1String(kLockName))) {}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// A vault folder driven through the real session code: VaultSession start-up, unlock and lock.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>

#include "vault/vault_session.h"

namespace korvane::test_support {

class SessionVault {
public:
    // The vault is created under password at the first unlock, in a new temporary folder or
    // in the named sub-folder of one.
    explicit SessionVault(std::string password, const QString& folder = QString());
    // The same in a folder the test owns and keeps: the vault already there, or, if the folder
    // holds none now, one created under password at the first unlock.
    static SessionVault in_folder(const QString& folder, std::string password);

    // Starts a session; nullptr (and a test failure) unless it ends unlocked.
    std::unique_ptr<VaultSession> unlock(const std::string& password);
    // Starts a session on the locked vault and returns its outcome, locking it again if it opened.
    StartOutcome try_unlock(const std::string& password);
    // Locks through the session (a failure fails the test), then unlocks with password.
    std::unique_ptr<VaultSession> relock(std::unique_ptr<VaultSession> doc,
                                         const std::string& password);

    const QString& dir() const { return path_; }

private:
    struct FolderOfTheTest {};
    SessionVault(FolderOfTheTest, const QString& folder, std::string password);

    std::unique_ptr<QTemporaryDir> owned_;  // null for a folder the test owns
    QString path_;
    std::string initial_password_;
    bool created_ = false;
};

}  // namespace korvane::test_support

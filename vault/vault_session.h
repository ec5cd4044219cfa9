// SPDX-License-Identifier: GPL-3.0-or-later
// VaultSession: the life of one unlocked vault, from finding its files at start-up to closing
// its connection at the lock. user.dat stays enciphered throughout: SQLite reads and writes it
// through an EncipheredVfs under the master password.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "vault/enciphered_vfs.h"
#include "vault/folder_lock.h"
#include "vault/result.h"
#include "vault/session_prompts.h"
#include "vault/sqlite_db.h"
#include "vault/vault_files.h"

namespace korvane {

enum class StartOutcome {
    Unlocked,       // the vault is open
    Cancelled,      // the user cancelled a start-up dialog
    WrongPassword,  // or key material that makes no key
    Busy,           // another instance holds the vault folder
    FileError,      // the files could not be read or written
};

class VaultSession {
public:
    // ReadOnly is for a caller that only reads: user.dat is opened read-only through the VFS
    // and every write through db() fails. The start still recovers what a crash left (a hot
    // journal is rolled back, a left-over working file enciphered) before it opens.
    enum class Access { ReadWrite, ReadOnly };

    explicit VaultSession(QString vault_dir, Access access = Access::ReadWrite);
    // Locks the vault if it is still unlocked.
    ~VaultSession();
    VaultSession(const VaultSession&) = delete;
    VaultSession& operator=(const VaultSession&) = delete;

    // Finds the files, creates or recovers as needed, asks for the password and unlocks.
    StartOutcome start(SessionPrompts& prompts);

    // Closes the connection and wipes the key. Every change was committed to user.dat when it
    // was made, so there is nothing left to write, unless something else took user.dat's place
    // while the vault was open (a sync client, a copy, a deletion): the session's connection
    // then wrote to a file no longer there. Whatever is at the name is set aside, the session's
    // database is saved to user.dat under its key, and what the user must be told of it is
    // returned; nullopt when there is nothing to tell.
    std::optional<QString> lock();
    // Lets go of user.lock once the vault is locked, so that another program may open the
    // folder while this one waits; start() claims it again and reads the files afresh. Does
    // nothing while the vault is still unlocked.
    void release_folder();

    // Re-keys the vault: every page is copied, enciphered under the new padded password (which
    // the copy also stores), into a new file that is flushed and renamed over user.dat; the
    // session then goes on under the new key. A failure leaves the vault under the old one.
    Status change_master_password(const std::string& padded_password);

    bool is_unlocked() const { return db_.is_open(); }
    Access access() const { return access_; }
    SqliteDb& db() { return db_; }
    const std::string& master_password() const { return master_password_; }
    const VaultFiles& files() const { return files_; }
    const QString& vault_dir() const { return files_.dir; }
    const QString& vault_path() const { return files_.vault; }

private:
    std::optional<StartOutcome> check_folder(SessionPrompts& prompts);
    std::optional<StartOutcome> claim_folder(SessionPrompts& prompts);
    void remove_stale_temporaries();
    std::optional<StartOutcome> resolve_both_files(SessionPrompts& prompts);
    std::optional<StartOutcome> recover_work_file(SessionPrompts& prompts);
    Status store_recovered_password(const std::string& password);
    std::optional<StartOutcome> create_vault(SessionPrompts& prompts);
    StartOutcome unlock(SessionPrompts& prompts);
    StartOutcome open_vault(SessionPrompts& prompts, const std::string& password);
    QString journal_path() const;
    Status roll_back_hot_journal(const std::shared_ptr<EncipheredVfs>& vfs);
    Status open_connection(std::shared_ptr<EncipheredVfs> vfs);
    std::optional<QString> save_if_replaced();

    Access access_;
    VaultFiles files_;
    std::string master_password_;
    SqliteDb db_;
    // Device and inode of the file the connection opened, as user.dat named it then.
    std::pair<std::uint64_t, std::uint64_t> opened_file_{0, 0};
    std::unique_ptr<FolderLock> lock_file_;
};

}  // namespace korvane

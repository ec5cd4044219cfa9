// SPDX-License-Identifier: GPL-3.0-or-later
// VaultSession: the life of one unlocked vault, from finding its files at start-up to enciphering
// the working database again at shutdown.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "vault/database_image.h"
#include "vault/folder_lock.h"
#include "vault/result.h"
#include "vault/session_prompts.h"
#include "vault/sqlite_db.h"
#include "vault/work_file_check.h"

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
    static constexpr char kVaultFileName[] = "user.dat";
    static constexpr char kWorkFileName[] = "user.tmp";
    static constexpr char kLockFileName[] = "user.lock";

    // ReadOnly is for a caller that only reads: the vault is deciphered into memory and opened
    // there read-only, user.dat is never rewritten and no plain working file is made (unless a
    // crash left one, which the start recovers first as always). Every write through db()
    // fails, and lock() only lets go of the memory.
    enum class Access { ReadWrite, ReadOnly };

    explicit VaultSession(QString vault_dir, Access access = Access::ReadWrite);
    // Locks the vault if it is still unlocked.
    ~VaultSession();
    VaultSession(const VaultSession&) = delete;
    VaultSession& operator=(const VaultSession&) = delete;

    // Finds the files, creates or recovers as needed, asks for the password and unlocks.
    StartOutcome start(SessionPrompts& prompts);

    // Closes the database and enciphers it under the current master password. A failure is
    // returned (the plain working file is then kept, to be recovered at the next start).
    // Only the working file the session opened, still a vault database, is sealed; anything
    // else found at its name is set aside and the session's own connection sealed instead.
    Status lock();
    // Lets go of user.lock once the vault is locked, so that another program may open the
    // folder while this one waits; start() claims it again and reads the files afresh. Does
    // nothing while the vault is still unlocked.
    void release_folder();

    // Stores a new padded master password in the database and, only if that succeeded, in
    // the session.
    Status change_master_password(const std::string& padded_password);

    bool is_unlocked() const { return db_.is_open(); }
    Access access() const { return access_; }
    SqliteDb& db() { return db_; }
    const std::string& master_password() const { return master_password_; }
    const QString& vault_dir() const { return vault_dir_; }
    const QString& vault_path() const { return vault_path_; }
    const QString& work_path() const { return work_path_; }

private:
    std::optional<StartOutcome> check_folder(SessionPrompts& prompts);
    std::optional<StartOutcome> claim_folder(SessionPrompts& prompts);
    void remove_stale_temporaries();
    void remove_sqlite_journal();
    std::optional<StartOutcome> resolve_both_files(SessionPrompts& prompts);
    std::optional<StartOutcome> recover_work_file(SessionPrompts& prompts);
    Status store_recovered_password(const std::string& password);
    std::optional<StartOutcome> create_vault(SessionPrompts& prompts);
    Status write_new_database(const std::string& password);
    StartOutcome unlock(SessionPrompts& prompts);
    StartOutcome open_work_file(SessionPrompts& prompts, const std::string& password);
    StartOutcome open_in_memory(SessionPrompts& prompts, const std::string& password);
    Status open_deciphered();
    Status open_image(DatabaseImage image);
    Status seal_work_file();
    Status set_aside_damaged(const QString& problem);
    Status seal_from_session(const QString& problem);
    Status rescue_from_session();

    Access access_;
    std::string master_password_;
    SqliteDb db_;
    QString vault_dir_;
    QString vault_path_;
    QString work_path_;
    QString lock_path_;
    FileIdentity work_identity_;  // of work_path_ as the session opened it
    std::unique_ptr<FolderLock> lock_file_;
};

}  // namespace korvane

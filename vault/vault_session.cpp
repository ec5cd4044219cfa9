// SPDX-License-Identifier: GPL-3.0-or-later
// VaultSession: vault start-up (create, recover, unlock) and shutdown (lock).
#include "vault/vault_session.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "vault/atomic_file_writer.h"
#include "vault/file_io.h"
#include "vault/mars_cipher.h"
#include "vault/secure_wipe.h"
#include "vault/vault_codec.h"
#include "vault/vault_folder_check.h"
#include "vault/vault_statements.h"
#include "vault/work_database.h"

namespace korvane {
namespace {

const QString kErrorCaption = QStringLiteral("出错啦");

// Why a new password cannot serve as the key; the callers pad short entries, so "too short"
// only reaches code that passes unpadded text.
Status unusable_password(std::size_t bytes) {
    if (bytes < MarsCipher::kMinKeyBytes) {
        return make_error(QStringLiteral("新密码太短（至少 16 个字节），不能作为密钥使用。"));
    }
    return make_error(QStringLiteral("新密码太长（最多 59 个字节），不能作为密钥使用。"));
}

// Said of every set-aside copy of the working file, so nobody mistakes it for a sealed one.
const QString kPlainNote = QStringLiteral("（明文，未加密）");

// What a left-over working file turned out to be.
struct WorkFileState {
    WorkFileState() = default;
    WorkFileState(const WorkFileState&) = delete;
    WorkFileState& operator=(const WorkFileState&) = delete;
    ~WorkFileState() {
        if (password) secure_wipe(*password);
    }

    bool is_vault = false;                // SQLite with the vault's tables
    bool whole = false;                   // passes quick_check, and its length fits its header
    std::optional<std::string> password;  // a stored password that makes a key
};

// Opening and reading the file also rolls back a hot journal left by a crash.
void inspect_work_file(const QString& path, WorkFileState& state) {
    Result<SqliteDb> db = open_work_database(path);
    if (!db) return;
    Result<bool> tables = statements::has_vault_tables(*db);
    state.is_vault = tables.ok() && *tables;
    if (!state.is_vault) return;
    state.whole = quick_check(*db).ok() && check_database_header(path).ok();
    Result<std::optional<std::string>> stored = statements::read_master_password(*db);
    if (stored.ok() && stored->has_value() && MarsCipher::is_usable_key_length((*stored)->size())) {
        state.password = **stored;
    }
    if (stored.ok() && stored->has_value()) secure_wipe(**stored);
}

// Whether anything (a dangling link too) has the name.
bool name_taken(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Renames a file out of the way under a name that says when; returns the new path.
Result<QString> set_aside(const QString& path) {
    QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    for (int n = 0; n < 100; ++n) {
        QString name = QStringLiteral("%1-%2%3.%4.bak")
                           .arg(info.completeBaseName(), stamp,
                                n == 0 ? QString() : QStringLiteral("-%1").arg(n), info.suffix());
        QString target = info.dir().filePath(name);
        if (QFileInfo::exists(target)) continue;
        if (QFile::rename(path, target)) return target;
        break;
    }
    return make_error(QStringLiteral("无法给文件“%1”改名。").arg(native_path(path)));
}

// The start's answer to a decipher that did not unlock, the user told why; nullopt if it did.
std::optional<StartOutcome> refused_decipher(const DecryptResult& opened, SessionPrompts& prompts) {
    switch (opened.outcome) {
        case DecryptOutcome::WrongPassword:
            prompts.show_message(QStringLiteral("密码错误"), kErrorCaption);
            return StartOutcome::WrongPassword;
        case DecryptOutcome::FileError:
            prompts.show_message(opened.message, kErrorCaption);
            return StartOutcome::FileError;
        case DecryptOutcome::Unlocked:
            break;
    }
    return std::nullopt;
}

Error unusable_vault(const QString& vault_path, const QString& why) {
    return make_error(QStringLiteral("密码库“%1”解密后不是可以使用的密码库：%2。\n"
                                     "密码库没有打开，文件保持原样。")
                          .arg(native_path(vault_path), why));
}

}  // namespace

VaultSession::VaultSession(QString vault_dir, Access access)
    : access_(access),
      vault_dir_(QDir(vault_dir).absolutePath()),
      vault_path_(QDir(vault_dir_).filePath(QLatin1String(kVaultFileName))),
      work_path_(QDir(vault_dir_).filePath(QLatin1String(kWorkFileName))),
      lock_path_(QDir(vault_dir_).filePath(QLatin1String(kLockFileName))) {}

VaultSession::~VaultSession() {
    // The window layer locks explicitly to report failures; this is the last resort.
    (void)lock();
    secure_wipe(master_password_);
}

StartOutcome VaultSession::start(SessionPrompts& prompts) {
    if (std::optional<StartOutcome> refused = check_folder(prompts)) return *refused;
    if (std::optional<StartOutcome> refused = claim_folder(prompts)) return *refused;
    remove_stale_temporaries();
    // A journal without its working file belongs to no database the unlock could write.
    if (!QFileInfo::exists(work_path_)) remove_sqlite_journal();

    if (QFileInfo::exists(work_path_) && QFileInfo(work_path_).size() == 0) {
        // An empty working file holds nothing: a crash before SQLite wrote a page.
        QFile::remove(work_path_);
    }
    if (QFileInfo::exists(vault_path_) && QFileInfo::exists(work_path_)) {
        if (std::optional<StartOutcome> failed = resolve_both_files(prompts)) return *failed;
    }
    if (QFileInfo::exists(work_path_)) {
        if (std::optional<StartOutcome> failed = recover_work_file(prompts)) return *failed;
    }
    if (!QFileInfo::exists(vault_path_) && !QFileInfo::exists(work_path_)) {
        if (std::optional<StartOutcome> failed = create_vault(prompts)) return *failed;
    }
    return unlock(prompts);
}

std::optional<StartOutcome> VaultSession::check_folder(SessionPrompts& prompts) {
    // Before the lock file is touched, so that nothing ever opens a FIFO or follows a link at
    // one of the vault's names.
    Status checked = prepare_vault_folder(vault_dir_);
    if (checked) checked = check_vault_entries(vault_path_, work_path_, lock_path_);
    if (checked) return std::nullopt;
    prompts.show_message(checked.error(), kErrorCaption);
    return StartOutcome::FileError;
}

std::optional<StartOutcome> VaultSession::claim_folder(SessionPrompts& prompts) {
    lock_file_ = std::make_unique<FolderLock>(lock_path_);
    const FolderLock::Claim claim = lock_file_->claim();
    if (claim.outcome == FolderLock::Outcome::Claimed) return std::nullopt;
    lock_file_.reset();
    switch (claim.outcome) {
        case FolderLock::Outcome::HeldElsewhere:
            prompts.show_message(
                QStringLiteral("密码库正被另一台计算机上的程序使用：锁文件“%1”属于计算机“%2”上"
                               "进程号为 %3 的程序。\n只有在确认那个程序已经结束之后，"
                               "才可以删除这个锁文件再打开密码库。")
                    .arg(native_path(lock_path_), claim.holder.host)
                    .arg(claim.holder.pid),
                kErrorCaption);
            return StartOutcome::Busy;
        case FolderLock::Outcome::HeldHere:
            prompts.show_message(QStringLiteral("程序已经在运行，同一个密码库不能同时打开两次。"),
                                 kErrorCaption);
            return StartOutcome::Busy;
        case FolderLock::Outcome::CannotWrite:
        case FolderLock::Outcome::Claimed:
            break;
    }
    prompts.show_message(
        QStringLiteral("无法在文件夹“%1”中写入文件。").arg(native_path(vault_dir_)), kErrorCaption);
    return StartOutcome::FileError;
}

void VaultSession::remove_sqlite_journal() {
    // Once the working file is sealed (or gone) its journal holds nothing to roll back, only
    // plain copies of old pages.
    QFile::remove(work_path_ + QStringLiteral("-journal"));
}

void VaultSession::remove_stale_temporaries() {
    const QStringList patterns = {QLatin1String(kVaultFileName) + QStringLiteral(".*") +
                                      QLatin1String(AtomicFileWriter::kTempSuffix),
                                  QLatin1String(kWorkFileName) + QStringLiteral(".*") +
                                      QLatin1String(AtomicFileWriter::kTempSuffix)};
    QDir dir(vault_dir_);
    for (const QString& name : dir.entryList(patterns, QDir::Files | QDir::Hidden)) {
        dir.remove(name);
    }
    // Through a link, an interrupted save left its temporary beside the file the link names.
    Result<QString> target = AtomicFileWriter::resolve_links(vault_path_);
    if (!target || *target == vault_path_) return;
    const QFileInfo sealed(*target);
    QDir target_dir = sealed.dir();
    const QStringList linked = {sealed.fileName() + QStringLiteral(".*") +
                                QLatin1String(AtomicFileWriter::kTempSuffix)};
    for (const QString& name : target_dir.entryList(linked, QDir::Files | QDir::Hidden)) {
        target_dir.remove(name);
    }
}

std::optional<StartOutcome> VaultSession::resolve_both_files(SessionPrompts& prompts) {
    // Both copies are left only by a run that ended between writing one and removing the other.
    WorkFileState work;
    inspect_work_file(work_path_, work);
    if (work.is_vault && work.password &&
        VaultCodec::is_encryption_of(vault_path_, work_path_, *work.password)) {
        // The two are the same vault; recovery writes user.dat again from the working file.
        return std::nullopt;
    }
    // A working file cut short (a full disk, a copy broken off) never wins over a sealed one.
    const bool work_wins = work.is_vault && work.whole;
    const QString& kept_aside_path = work_wins ? vault_path_ : work_path_;
    Result<QString> moved = set_aside(kept_aside_path);
    if (!moved) {
        prompts.show_message(moved.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    const QString text = work_wins
                             ? QStringLiteral(
                                   "发现两份密码库文件，将使用较新的明文数据库 %1。\n"
                                   "另一份 %2 已原样保留为：\n%3")
                             : QStringLiteral(
                                   "发现两份密码库文件，其中 %2 不是完整的数据库，将使用 %1。\n"
                                   "%2 已原样保留为：\n%3");
    prompts.show_message(text.arg(QLatin1String(work_wins ? kWorkFileName : kVaultFileName),
                                  QLatin1String(work_wins ? kVaultFileName : kWorkFileName),
                                  native_path(*moved) + (work_wins ? QString() : kPlainNote)),
                         kErrorCaption);
    return std::nullopt;
}

std::optional<StartOutcome> VaultSession::recover_work_file(SessionPrompts& prompts) {
    WorkFileState work;
    inspect_work_file(work_path_, work);
    if (!work.is_vault) {
        Result<QString> moved = set_aside(work_path_);
        if (!moved) {
            prompts.show_message(moved.error(), kErrorCaption);
            return StartOutcome::FileError;
        }
        prompts.show_message(
            QStringLiteral("文件 %1 不是有效的密码库数据库，已原样保留为：\n%2")
                .arg(QLatin1String(kWorkFileName), native_path(*moved) + kPlainNote),
            kErrorCaption);
        return std::nullopt;  // on as if the folder were empty, or with user.dat
    }
    if (!work.password) {
        prompts.show_message(QStringLiteral("上次未正常关闭时留下的数据库 %1 中没有可用的主密码。\n"
                                            "数据库已原样保留，请为它设置新的主密码。")
                                 .arg(native_path(work_path_)),
                             kErrorCaption);
        std::optional<std::string> password = prompts.ask_new_password();
        if (!password) return StartOutcome::Cancelled;
        WipeOnExit wipe(*password);
        if (Status stored = store_recovered_password(*password); !stored) {
            prompts.show_message(stored.error(), kErrorCaption);
            return StartOutcome::FileError;
        }
        work.password = *password;
    }
    if (Status sealed = VaultCodec::encrypt_file(work_path_, vault_path_, *work.password);
        !sealed) {
        prompts.show_message(sealed.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    remove_sqlite_journal();
    return std::nullopt;
}

Status VaultSession::store_recovered_password(const std::string& password) {
    if (!MarsCipher::is_usable_key_length(password.size()))
        return unusable_password(password.size());
    Result<SqliteDb> db = open_work_database(work_path_);
    if (!db) return make_error(db.error());
    if (statements::update_master_password(*db, password).ok()) return Status::success();
    // No row 1 (or no table): store it as a new vault would.
    (void)db->exec("CREATE TABLE IF NOT EXISTS userad(pass TEXT)");
    return statements::insert_master_password(*db, password);
}

std::optional<StartOutcome> VaultSession::create_vault(SessionPrompts& prompts) {
    prompts.show_message(QStringLiteral("数据库不存在，正在创建数据库，请修改密码"), kErrorCaption);
    std::optional<std::string> password = prompts.ask_new_password();
    if (!password) return StartOutcome::Cancelled;
    WipeOnExit wipe(*password);

    Status created = write_new_database(*password);
    if (created) created = VaultCodec::encrypt_file(work_path_, vault_path_, *password);
    if (!created) {
        QFile::remove(work_path_);
        prompts.show_message(created.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    remove_sqlite_journal();
    master_password_.clear();
    return std::nullopt;
}

Status VaultSession::write_new_database(const std::string& password) {
    if (!MarsCipher::is_usable_key_length(password.size()))
        return unusable_password(password.size());
    if (!create_private_file(work_path_)) {
        return make_error(QStringLiteral("无法创建数据库文件“%1”。").arg(native_path(work_path_)));
    }
    Result<SqliteDb> db = open_work_database(work_path_);
    if (!db) return make_error(db.error());
    if (Status schema = statements::create_schema(*db); !schema) return schema;
    return statements::insert_master_password(*db, password);
}

StartOutcome VaultSession::unlock(SessionPrompts& prompts) {
    std::optional<std::string> password = prompts.ask_master_password();
    if (!password) return StartOutcome::Cancelled;
    WipeOnExit wipe(*password);
    const StartOutcome outcome = access_ == Access::ReadOnly ? open_in_memory(prompts, *password)
                                                             : open_work_file(prompts, *password);
    if (outcome == StartOutcome::Unlocked) master_password_ = *password;
    return outcome;
}

StartOutcome VaultSession::open_work_file(SessionPrompts& prompts, const std::string& password) {
    // user.dat stays until the deciphered copy is known to be a usable vault: at every instant
    // one complete copy exists, and a refused one leaves the folder as it was.
    DecryptResult opened = VaultCodec::decipher_file(vault_path_, work_path_, password);
    if (std::optional<StartOutcome> refused = refused_decipher(opened, prompts)) return *refused;
    if (Status usable = open_deciphered(); !usable) {
        db_.close();
        QFile::remove(work_path_);
        remove_sqlite_journal();
        prompts.show_message(usable.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    return StartOutcome::Unlocked;
}

StartOutcome VaultSession::open_in_memory(SessionPrompts& prompts, const std::string& password) {
    DatabaseImage image;
    DecryptResult opened = VaultCodec::decipher_to_memory(
        vault_path_, password, [&image](qint64 length) { return image.allocate(length); });
    if (std::optional<StartOutcome> refused = refused_decipher(opened, prompts)) return *refused;
    if (Status usable = open_image(std::move(image)); !usable) {
        db_.close();
        prompts.show_message(usable.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    return StartOutcome::Unlocked;
}

Status VaultSession::open_deciphered() {
    Result<SqliteDb> db = open_work_database(work_path_);
    if (!db) return make_error(db.error());
    if (Status schema = check_vault_schema(*db); !schema) {
        return unusable_vault(vault_path_, schema.error());
    }
    // Remembered now, so the lock can tell the file it seals is still this one.
    Result<FileIdentity> identity = identify_own_file(work_path_);
    if (!identity) return make_error(identity.error());
    if (Status removed = VaultCodec::remove_sealed(vault_path_); !removed) return removed;
    work_identity_ = *identity;
    db_ = std::move(*db);
    return Status::success();
}

Status VaultSession::open_image(DatabaseImage image) {
    // The checks the full path makes of user.tmp at unlock and again before sealing it.
    if (Status header = check_database_image(image); !header) {
        return unusable_vault(vault_path_, header.error());
    }
    Result<SqliteDb> db = SqliteDb::open_image(std::move(image));
    if (!db) return make_error(db.error());
    if (Status schema = check_vault_schema(*db); !schema) {
        return unusable_vault(vault_path_, schema.error());
    }
    db_ = std::move(*db);
    return Status::success();
}

Status VaultSession::lock() {
    if (!db_.is_open()) return Status::success();
    if (access_ == Access::ReadOnly) {
        // Nothing was written: user.dat is still the vault, and the image is wiped on close.
        db_.close();
        secure_wipe(master_password_);
        return Status::success();
    }
    Status sealed = seal_work_file();
    secure_wipe(master_password_);
    return sealed;
}

void VaultSession::release_folder() {
    if (db_.is_open()) return;
    lock_file_.reset();
}

Status VaultSession::seal_work_file() {
    if (std::optional<QString> replaced = work_file_replaced(work_path_, work_identity_)) {
        return seal_from_session(*replaced);
    }
    // Still the session's own file: closing settles it (a failed write's journal is rolled
    // back) before its content is judged.
    db_.close();
    if (Status content = check_work_file_content(work_path_); !content) {
        return set_aside_damaged(content.error());
    }
    Status sealed = VaultCodec::encrypt_file(work_path_, vault_path_, master_password_);
    if (sealed) remove_sqlite_journal();
    return sealed;
}

Status VaultSession::set_aside_damaged(const QString& problem) {
    const QString text = QStringLiteral("密码库的工作文件“%1”已不是可以加密保存的密码库：%2。")
                             .arg(native_path(work_path_), problem);
    if (QFileInfo::exists(work_path_ + QStringLiteral("-journal"))) {
        // A write failed and so did its rollback, most likely for want of room: the journal
        // still restores the file, which the next start rolls back and checks.
        return make_error(
            text + QStringLiteral("\n上次写入数据库没有完成，可能是磁盘空间不足。"
                                  "工作文件和它的日志文件“%1-journal”都保持原样（明文，未加密），"
                                  "下次启动时会自动恢复。")
                       .arg(native_path(work_path_)));
    }
    Result<QString> moved = set_aside(work_path_);
    if (!moved) {
        return make_error(text + QLatin1Char('\n') + moved.error() +
                          QStringLiteral("\n没有加密保存任何内容。"));
    }
    return make_error(text + QStringLiteral("\n它已原样改名保留为“%1”%2，没有加密保存任何内容。")
                                 .arg(native_path(*moved), kPlainNote));
}

Status VaultSession::seal_from_session(const QString& problem) {
    QString text = QStringLiteral("密码库的工作文件“%1”在打开期间被改动，没有按原样加密：%2。")
                       .arg(native_path(work_path_), problem);
    if (name_taken(work_path_)) {
        Result<QString> moved = set_aside(work_path_);
        if (!moved) {
            db_.close();
            return make_error(text + QLatin1Char('\n') + moved.error() +
                              QStringLiteral("\n没有加密保存任何内容。"));
        }
        text += QStringLiteral("\n在那里找到的文件已原样改名保留为“%1”%2，请检查后自行处理。")
                    .arg(native_path(*moved), kPlainNote);
    }
    Status rescued = rescue_from_session();
    db_.close();
    if (rescued) {
        text += QStringLiteral("\n程序已从打开的数据库中取回全部记录，加密保存到“%1”。")
                    .arg(native_path(vault_path_));
    } else {
        text += QStringLiteral("\n无法从打开的数据库中取回记录（%1），没有加密保存任何内容。")
                    .arg(rescued.error());
    }
    return make_error(text);
}

Status VaultSession::rescue_from_session() {
    // The session's connection still reads the file it opened, even once that was renamed
    // away or deleted; copied out whole, it is sealed as if nothing had happened.
    if (Status schema = check_vault_schema(db_); !schema) return schema;
    if (Status whole = quick_check(db_); !whole) return whole;
    if (Status copied = backup_into_new_file(db_, work_path_); !copied) return copied;
    db_.close();
    Result<FileIdentity> identity = identify_own_file(work_path_);
    Status checked =
        identity ? check_work_file(work_path_, *identity) : Status(make_error(identity.error()));
    if (!checked) {
        QFile::remove(work_path_);
        return checked;
    }
    // Should this fail, the copy stays as the working file, recovered at the next start.
    Status sealed = VaultCodec::encrypt_file(work_path_, vault_path_, master_password_);
    if (sealed) remove_sqlite_journal();
    return sealed;
}

Status VaultSession::change_master_password(const std::string& padded_password) {
    if (!MarsCipher::is_usable_key_length(padded_password.size())) {
        return unusable_password(padded_password.size());
    }
    if (Status stored = statements::update_master_password(db_, padded_password); !stored) {
        return stored;
    }
    secure_wipe(master_password_);
    master_password_ = padded_password;
    return Status::success();
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// VaultSession: vault start-up (create, recover, unlock), re-key and lock.
#include "vault/vault_session.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "vault/atomic_file_writer.h"
#include "vault/database_copy.h"
#include "vault/enciphered_file.h"
#include "vault/file_io.h"
#include "vault/mars_cipher.h"
#include "vault/secure_wipe.h"
#include "vault/vault_codec.h"
#include "vault/vault_folder_check.h"
#include "vault/vault_schema_check.h"
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

// Said of every set-aside copy of a left-over working file, so nobody mistakes it for a sealed
// one.
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

void say_wrong_password(SessionPrompts& prompts) {
    prompts.show_message(QStringLiteral("密码错误"), kErrorCaption);
}

// Of a file the key check or SQLite refused, in the words the user reads.
QString refused_file_text(const QString& vault_path, const QString& why) {
    return QStringLiteral("无法打开密码库“%1”：%2\n密码库没有打开，文件保持原样。")
        .arg(native_path(vault_path), why);
}

// Device and inode of the file path leads to (links followed); nullopt when it leads nowhere.
std::optional<std::pair<std::uint64_t, std::uint64_t>> file_identity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino);
}

// Whether anything (a dangling link too) has the name.
bool name_taken(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

Error unusable_vault(const QString& vault_path, const QString& why) {
    return make_error(QStringLiteral("密码库“%1”解密后不是可以使用的密码库：%2。\n"
                                     "密码库没有打开，文件保持原样。")
                          .arg(native_path(vault_path), why));
}

}  // namespace

VaultSession::VaultSession(QString vault_dir, Access access) : access_(access), files_(vault_dir) {}

VaultSession::~VaultSession() { (void)lock(); }

StartOutcome VaultSession::start(SessionPrompts& prompts) {
    if (std::optional<StartOutcome> refused = check_folder(prompts)) return *refused;
    if (std::optional<StartOutcome> refused = claim_folder(prompts)) return *refused;
    remove_stale_temporaries();
    // A journal without its left-over working file belongs to no database anyone could write.
    if (!QFileInfo::exists(files_.legacy_work)) QFile::remove(files_.legacy_work_journal());

    if (QFileInfo::exists(files_.legacy_work) && QFileInfo(files_.legacy_work).size() == 0) {
        // An empty left-over working file holds nothing: a crash before SQLite wrote a page.
        QFile::remove(files_.legacy_work);
    }
    if (QFileInfo::exists(files_.vault) && QFileInfo::exists(files_.legacy_work)) {
        if (std::optional<StartOutcome> failed = resolve_both_files(prompts)) return *failed;
    }
    if (QFileInfo::exists(files_.legacy_work)) {
        if (std::optional<StartOutcome> failed = recover_work_file(prompts)) return *failed;
    }
    if (!QFileInfo::exists(files_.vault)) {
        // SQLite would play a journal left without its database into the new one.
        QFile::remove(files_.vault_journal());
        if (std::optional<StartOutcome> failed = create_vault(prompts)) return *failed;
    }
    return unlock(prompts);
}

std::optional<StartOutcome> VaultSession::check_folder(SessionPrompts& prompts) {
    // Before the lock file is touched, so that nothing ever opens a FIFO or follows a link at
    // one of the vault's names.
    Status checked = prepare_vault_folder(files_.dir);
    if (checked) checked = check_vault_entries(files_);
    if (checked) return std::nullopt;
    prompts.show_message(checked.error(), kErrorCaption);
    return StartOutcome::FileError;
}

std::optional<StartOutcome> VaultSession::claim_folder(SessionPrompts& prompts) {
    lock_file_ = std::make_unique<FolderLock>(files_.lock);
    const FolderLock::Claim claim = lock_file_->claim();
    if (claim.outcome == FolderLock::Outcome::Claimed) return std::nullopt;
    lock_file_.reset();
    switch (claim.outcome) {
        case FolderLock::Outcome::HeldElsewhere:
            prompts.show_message(
                QStringLiteral("密码库正被另一台计算机上的程序使用：锁文件“%1”属于计算机“%2”上"
                               "进程号为 %3 的程序。\n只有在确认那个程序已经结束之后，"
                               "才可以删除这个锁文件再打开密码库。")
                    .arg(native_path(files_.lock), claim.holder.host)
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
        QStringLiteral("无法在文件夹“%1”中写入文件。").arg(native_path(files_.dir)), kErrorCaption);
    return StartOutcome::FileError;
}

void VaultSession::remove_stale_temporaries() {
    // A re-key or a new vault cut short leaves its file and maybe that file's journal.
    const QString part = QStringLiteral(".*") + QLatin1String(AtomicFileWriter::kTempSuffix);
    const QString journal = part + QLatin1String(VaultFiles::kJournalSuffix);
    const QString vault = QLatin1String(VaultFiles::kVaultName);
    const QString work = QLatin1String(VaultFiles::kLegacyWorkName);
    QDir dir(files_.dir);
    for (const QString& name :
         dir.entryList({vault + part, vault + journal, work + part}, QDir::Files | QDir::Hidden)) {
        dir.remove(name);
    }
    // Through a link, an interrupted write left its temporary beside the file the link names.
    Result<QString> target = AtomicFileWriter::resolve_links(files_.vault);
    if (!target || *target == files_.vault) return;
    const QFileInfo sealed(*target);
    QDir target_dir = sealed.dir();
    for (const QString& name : target_dir.entryList(
             {sealed.fileName() + part, sealed.fileName() + journal}, QDir::Files | QDir::Hidden)) {
        target_dir.remove(name);
    }
}

std::optional<StartOutcome> VaultSession::resolve_both_files(SessionPrompts& prompts) {
    // Both copies are left only by an earlier version that ended between writing one and
    // removing the other.
    WorkFileState work;
    inspect_work_file(files_.legacy_work, work);
    if (work.is_vault && work.password &&
        VaultCodec::is_encryption_of(files_.vault, files_.legacy_work, *work.password)) {
        // The two are the same vault; recovery writes user.dat again from the working file.
        return std::nullopt;
    }
    // A working file cut short (a full disk, a copy broken off) never wins over a sealed one.
    const bool work_wins = work.is_vault && work.whole;
    const QString& kept_aside_path = work_wins ? files_.vault : files_.legacy_work;
    Result<QString> moved = set_aside(kept_aside_path);
    if (!moved) {
        prompts.show_message(moved.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    if (work_wins) QFile::remove(files_.vault_journal());
    const QString text = work_wins
                             ? QStringLiteral(
                                   "发现两份密码库文件，将使用较新的明文数据库 %1。\n"
                                   "另一份 %2 已原样保留为：\n%3")
                             : QStringLiteral(
                                   "发现两份密码库文件，其中 %2 不是完整的数据库，将使用 %1。\n"
                                   "%2 已原样保留为：\n%3");
    const QLatin1String vault_name(VaultFiles::kVaultName);
    const QLatin1String work_name(VaultFiles::kLegacyWorkName);
    prompts.show_message(
        text.arg(work_wins ? work_name : vault_name, work_wins ? vault_name : work_name,
                 native_path(*moved) + (work_wins ? QString() : kPlainNote)),
        kErrorCaption);
    return std::nullopt;
}

std::optional<StartOutcome> VaultSession::recover_work_file(SessionPrompts& prompts) {
    WorkFileState work;
    inspect_work_file(files_.legacy_work, work);
    if (!work.is_vault) {
        Result<QString> moved = set_aside(files_.legacy_work);
        if (!moved) {
            prompts.show_message(moved.error(), kErrorCaption);
            return StartOutcome::FileError;
        }
        prompts.show_message(
            QStringLiteral("文件 %1 不是有效的密码库数据库，已原样保留为：\n%2")
                .arg(QLatin1String(VaultFiles::kLegacyWorkName), native_path(*moved) + kPlainNote),
            kErrorCaption);
        return std::nullopt;  // on as if the folder were empty, or with user.dat
    }
    if (!work.password) {
        prompts.show_message(QStringLiteral("上次未正常关闭时留下的数据库 %1 中没有可用的主密码。\n"
                                            "数据库已原样保留，请为它设置新的主密码。")
                                 .arg(native_path(files_.legacy_work)),
                             kErrorCaption);
        std::optional<std::string> password =
            prompts.ask_new_password(NewPasswordReason::LeftOverNoPassword);
        if (!password) return StartOutcome::Cancelled;
        WipeOnExit wipe(*password);
        if (Status stored = store_recovered_password(*password); !stored) {
            prompts.show_message(stored.error(), kErrorCaption);
            return StartOutcome::FileError;
        }
        work.password = *password;
    }
    // The journal of the user.dat this file replaces would be played into the new one.
    QFile::remove(files_.vault_journal());
    if (Status sealed = VaultCodec::encrypt_file(files_.legacy_work, files_.vault, *work.password);
        !sealed) {
        prompts.show_message(sealed.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    QFile::remove(files_.legacy_work_journal());
    return std::nullopt;
}

Status VaultSession::store_recovered_password(const std::string& password) {
    if (!MarsCipher::is_usable_key_length(password.size()))
        return unusable_password(password.size());
    Result<SqliteDb> db = open_work_database(files_.legacy_work);
    if (!db) return make_error(db.error());
    if (statements::update_master_password(*db, password).ok()) return Status::success();
    // No row 1 (or no table): store it as a new vault would.
    (void)db->exec("CREATE TABLE IF NOT EXISTS userad(pass TEXT)");
    return statements::insert_master_password(*db, password);
}

std::optional<StartOutcome> VaultSession::create_vault(SessionPrompts& prompts) {
    prompts.show_message(QStringLiteral("数据库不存在，正在创建数据库，请修改密码"), kErrorCaption);
    std::optional<std::string> password = prompts.ask_new_password(NewPasswordReason::NewVault);
    if (!password) return StartOutcome::Cancelled;
    WipeOnExit wipe(*password);
    if (!MarsCipher::is_usable_key_length(password->size())) {
        prompts.show_message(unusable_password(password->size()).error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    Result<std::shared_ptr<EncipheredVfs>> vfs = EncipheredVfs::create(*password);
    Status created = vfs ? Status::success() : Status(make_error(vfs.error()));
    if (created) {
        created = write_enciphered_file(files_.vault, *vfs, [&password](SqliteDb& db) {
            SqliteTransaction transaction(db);
            if (!transaction.begin_status()) return transaction.begin_status();
            if (Status schema = statements::create_schema(db); !schema) return schema;
            if (Status stored = statements::insert_master_password(db, *password); !stored) {
                return stored;
            }
            return transaction.commit();
        });
    }
    if (!created) {
        prompts.show_message(created.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    return std::nullopt;
}

StartOutcome VaultSession::unlock(SessionPrompts& prompts) {
    std::optional<std::string> password = prompts.ask_master_password();
    if (!password) return StartOutcome::Cancelled;
    WipeOnExit wipe(*password);
    const StartOutcome outcome = open_vault(prompts, *password);
    if (outcome == StartOutcome::Unlocked) master_password_ = *password;
    return outcome;
}

StartOutcome VaultSession::open_vault(SessionPrompts& prompts, const std::string& password) {
    Result<std::shared_ptr<EncipheredVfs>> vfs = EncipheredVfs::create(password);
    if (!vfs) {
        // Key material that makes no key cannot be the password of any vault.
        say_wrong_password(prompts);
        return StartOutcome::WrongPassword;
    }
    // Before SQLite sees the file: under a wrong key no journal is played and nothing changes.
    const KeyCheckResult key = (*vfs)->check_key(files_.vault);
    switch (key.outcome) {
        case KeyCheck::Matches:
            break;
        case KeyCheck::WrongKey:
            say_wrong_password(prompts);
            return StartOutcome::WrongPassword;
        case KeyCheck::NoDatabase:
            prompts.show_message(unusable_vault(files_.vault, QStringLiteral("文件是空的")).message,
                                 kErrorCaption);
            return StartOutcome::FileError;
        case KeyCheck::WalHeader:
            prompts.show_message(
                refused_file_text(
                    files_.vault,
                    QStringLiteral("它使用预写日志（WAL）模式，加密的密码库不支持。")),
                kErrorCaption);
            return StartOutcome::FileError;
        case KeyCheck::FileError:
            prompts.show_message(key.message, kErrorCaption);
            return StartOutcome::FileError;
    }
    Status opened = roll_back_hot_journal(*vfs);
    if (opened) opened = open_connection(std::move(*vfs));
    if (!opened) {
        db_.close();
        prompts.show_message(opened.error(), kErrorCaption);
        return StartOutcome::FileError;
    }
    // The first read played back a hot journal; one still there is cold (a crash before its
    // header was synced) and holds nothing to undo, and this program holds the folder.
    QFile::remove(journal_path());
    return StartOutcome::Unlocked;
}

QString VaultSession::journal_path() const {
    // SQLite keeps the journal beside the file a link names, not beside the link.
    Result<QString> target = AtomicFileWriter::resolve_links(files_.vault);
    return (target ? *target : files_.vault) + QLatin1String(VaultFiles::kJournalSuffix);
}

Status VaultSession::roll_back_hot_journal(const std::shared_ptr<EncipheredVfs>& vfs) {
    // A read-only connection cannot play a journal back, so a writer does it first: the
    // change a crash cut short is undone before anyone reads.
    if (access_ == Access::ReadWrite || !QFileInfo::exists(journal_path())) {
        return Status::success();
    }
    Result<SqliteDb> writer =
        SqliteDb::open_enciphered(files_.vault, vfs, SqliteDb::Mode::ReadWrite);
    if (!writer) return make_error(refused_file_text(files_.vault, writer.error()));
    Result<SqliteStatement> read = writer->prepare("SELECT count(*) FROM sqlite_master");
    if (!read) return make_error(refused_file_text(files_.vault, read.error()));
    (void)read->step();
    if (read->failed()) return make_error(refused_file_text(files_.vault, read->error()));
    return Status::success();
}

Status VaultSession::open_connection(std::shared_ptr<EncipheredVfs> vfs) {
    const SqliteDb::Mode mode =
        access_ == Access::ReadOnly ? SqliteDb::Mode::ReadOnly : SqliteDb::Mode::ReadWrite;
    Result<SqliteDb> db = SqliteDb::open_enciphered(files_.vault, std::move(vfs), mode);
    if (!db) return make_error(refused_file_text(files_.vault, db.error()));
    if (Status schema = check_vault_schema(*db); !schema) {
        return unusable_vault(files_.vault, schema.error());
    }
    db_ = std::move(*db);
    opened_file_ = file_identity(files_.vault).value_or(opened_file_);
    return Status::success();
}

std::optional<QString> VaultSession::lock() {
    std::optional<QString> notice;
    if (db_.is_open() && access_ == Access::ReadWrite) notice = save_if_replaced();
    // Each change was committed (and synced) when it was made; the key goes with the
    // connection's files.
    db_.close();
    secure_wipe(master_password_);
    return notice;
}

std::optional<QString> VaultSession::save_if_replaced() {
    if (file_identity(files_.vault) == std::optional(opened_file_)) return std::nullopt;
    QString text =
        QStringLiteral("密码库文件“%1”在打开期间被替换或删除了。").arg(native_path(files_.vault));
    // Through a link, the file the link names is the one that was replaced.
    Result<QString> resolved = AtomicFileWriter::resolve_links(files_.vault);
    const QString found = resolved ? *resolved : files_.vault;
    if (name_taken(found)) {
        Result<QString> moved = set_aside(found);
        if (!moved) {
            return text + QLatin1Char('\n') + moved.error() +
                   QStringLiteral("\n打开期间所做的修改没有保存到那里。");
        }
        text += QStringLiteral("\n在那里找到的文件已原样改名保留为“%1”，请检查后自行处理。")
                    .arg(native_path(*moved));
    }
    // The connection still reads the file it opened, renamed away or deleted: copied out whole
    // under the session's key, it becomes user.dat again.
    Result<std::shared_ptr<EncipheredVfs>> vfs = EncipheredVfs::create(master_password_);
    Status saved =
        vfs ? write_enciphered_file(files_.vault, *vfs,
                                    [this](SqliteDb& copy) { return copy_database(db_, copy); })
            : Status(make_error(vfs.error()));
    if (saved) {
        return text + QStringLiteral("\n程序已把打开的密码库中的全部记录加密保存到“%1”。")
                          .arg(native_path(files_.vault));
    }
    return text + QStringLiteral("\n无法保存打开的密码库中的记录：%1").arg(saved.error());
}

void VaultSession::release_folder() {
    if (db_.is_open()) return;
    lock_file_.reset();
}

Status VaultSession::change_master_password(const std::string& padded_password) {
    if (!MarsCipher::is_usable_key_length(padded_password.size())) {
        return unusable_password(padded_password.size());
    }
    if (access_ == Access::ReadOnly || !db_.is_open()) {
        return make_error(QStringLiteral("密码库没有以可写方式打开，不能修改主密码。"));
    }
    Result<std::shared_ptr<EncipheredVfs>> vfs = EncipheredVfs::create(padded_password);
    if (!vfs) return make_error(vfs.error());
    Status written =
        write_enciphered_file(files_.vault, *vfs, [this, &padded_password](SqliteDb& copy) {
            if (Status copied = copy_database(db_, copy); !copied) return copied;
            return statements::update_master_password(copy, padded_password);
        });
    if (!written) return written;
    // The connection still reads the old file, renamed away; from here on user.dat is the new
    // one, under the new key, whether or not it opens again.
    db_.close();
    secure_wipe(master_password_);
    master_password_ = padded_password;
    return open_connection(std::move(*vfs));
}

}  // namespace korvane

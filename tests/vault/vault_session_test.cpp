// SPDX-License-Identifier: GPL-3.0-or-later
// VaultSession: every start-up branch, the re-key, the lock, and the files each one leaves
// behind.
#include "vault/vault_session.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include "support/failing_step.h"
#include "support/file_helpers.h"
#include "support/raw_sqlite.h"
#include "support/reference_cipher.h"
#include "support/scripted_prompts.h"
#include "support/session_vault.h"
#include "vault/default_vault_dir.h"
#include "vault/vault_codec.h"
#include "vault/vault_folder_check.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using test_support::FailingStep;
using test_support::folder_entries;
using test_support::query_sqlite;
using test_support::query_sqlite_bytes;
using test_support::RawSqlite;
using test_support::read_file;
using test_support::reference_mars_ecb;
using test_support::ScriptedPrompts;
using test_support::SessionVault;
using test_support::write_file;

const std::string kPassword = "secretyyyyyyyyyyy";  // "secret" as the prompts pad it
const std::string kOther = "otheryyyyyyyyyyyy";

VaultRecord record(std::string title, std::string type = "A") {
    return VaultRecord{std::move(title), "user", "pw", "remark", std::move(type)};
}

// The database as SQLite holds it, page by page, read through the connection: the pages it
// wrote itself come from its cache, the others through the VFS.
std::string plain_image(SqliteDb& db) {
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db.handle(), "main", &size, 0);
    if (bytes == nullptr) {
        ADD_FAILURE() << "sqlite3_serialize failed: " << db.last_error().toStdString();
        return {};
    }
    std::string image(reinterpret_cast<const char*>(bytes), std::size_t(size));
    sqlite3_free(bytes);
    return image;
}

class VaultSessionTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }

    // Creates a vault holding the given record titles, locked under password.
    void make_vault(const std::string& password, const std::vector<std::string>& titles = {}) {
        auto session = SessionVault::in_folder(dir_.path(), password).unlock(password);
        ASSERT_TRUE(session);
        for (const auto& title : titles) {
            ASSERT_TRUE(statements::insert_record(session->db(), record(title)).ok());
        }
        session->lock();
    }

    // Reads the vault file the way an earlier installation would: Crypto++ MARS, then SQLite.
    std::string query_sealed(const std::string& password, const std::string& sql) const {
        return query_sqlite_bytes(plain_vault(password), sql);
    }
    std::string plain_vault(const std::string& password) const {
        return reference_mars_ecb(password, read_file(path("user.dat")), false);
    }

    // The files of the folder whose bytes hold text: none may hold a value typed into a record.
    QStringList files_holding(const std::string& text) const {
        QStringList found;
        for (const QString& name : folder_entries(dir_.path())) {
            if (read_file(path(name)).find(text) != std::string::npos) found << name;
        }
        return found;
    }

    // The records of the session, in OID order, by title.
    static std::string titles(VaultSession& session) {
        Result<std::vector<VaultRecord>> records = statements::all_records(session.db());
        if (!records) return "ERROR: " + records.error().toStdString();
        std::string out;
        for (const VaultRecord& r : *records) out += (out.empty() ? "" : "\n") + r.title;
        return out;
    }

    // Unlocks the locked vault in the folder; nullptr (and a failure) unless it opened.
    std::unique_ptr<VaultSession> open_vault(const QString& folder = QString()) {
        const QString dir = folder.isEmpty() ? dir_.path() : folder;
        EXPECT_TRUE(QFileInfo::exists(dir + "/user.dat")) << "no vault to open";
        return SessionVault::in_folder(dir, kPassword).unlock(kPassword);
    }

    // What a crash in the middle of a change leaves: a session's large insert spills pages into
    // user.dat before its commit (a cache of one page), and the journal holds the pages before.
    // Neither file, nor any other in the folder, may hold the typed text then. The session rolls
    // back and locks; the files as they were at that moment are returned.
    struct Crash {
        std::string vault;
        std::string journal;
    };
    Crash crash_mid_change(const std::string& typed) {
        Crash crash;
        auto session = open_vault();
        if (!session) return crash;
        EXPECT_TRUE(session->db().exec("PRAGMA cache_size=1").ok());
        EXPECT_TRUE(session->db().exec("BEGIN").ok());
        for (int i = 0; i < 300; ++i) {
            VaultRecord entry = record(typed + std::to_string(i));
            entry.remark = typed + std::string(400, 'u');
            EXPECT_TRUE(statements::insert_record(session->db(), entry).ok());
        }
        EXPECT_TRUE(QFileInfo::exists(path("user.dat-journal")));
        EXPECT_EQ(files_holding(typed), QStringList());
        crash.vault = read_file(path("user.dat"));
        crash.journal = read_file(path("user.dat-journal"));
        EXPECT_TRUE(session->db().exec("ROLLBACK").ok());
        return crash;
    }

    // The plain-text copies set aside in the folder.
    QStringList set_aside_plain() const { return QDir(dir_.path()).entryList({"user-*.tmp.bak"}); }

    QTemporaryDir dir_;
};

// A plain database with the given schema, sealed as user.dat under kPassword.
std::string sealed_database(const QString& scratch, const std::string& schema) {
    {
        RawSqlite raw(scratch);
        raw.exec(schema + ";insert into userad values('" + kPassword + "')");
    }
    return reference_mars_ecb(kPassword, read_file(scratch), true);
}

TEST_F(VaultSessionTest, FirstRunCreatesAnEmptyVaultThenUnlocksIt) {
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);

    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new", "master"}));
    EXPECT_EQ(prompts.messages()[0].text, "数据库不存在，正在创建数据库，请修改密码");
    EXPECT_EQ(prompts.messages()[0].caption, "出错啦");
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
    EXPECT_EQ(
        query_sealed(kPassword, "select name from sqlite_master where type='table' order by rowid"),
        "userad\ntype\nuserpass");
    EXPECT_EQ(query_sealed(kPassword, "select OID, pass from userad"), "1|" + kPassword);
    EXPECT_EQ(query_sealed(kPassword, "select count(*) from type"), "0");
    EXPECT_EQ(query_sealed(kPassword, "select count(*) from userpass"), "0");
    EXPECT_EQ(session.master_password(), kPassword);
    EXPECT_TRUE(test_support::is_owner_only(path("user.dat")));
}

TEST_F(VaultSessionTest, CancelEndsTheStartAndLeavesFilesAsTheyWere) {
    {
        ScriptedPrompts prompts;
        prompts.new_password(std::nullopt);
        VaultSession session(dir_.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::Cancelled);
    }
    EXPECT_TRUE(folder_entries(dir_.path()).isEmpty());

    make_vault(kPassword);
    const std::string sealed = read_file(path("user.dat"));
    {
        ScriptedPrompts prompts;
        prompts.master_password(std::nullopt);
        VaultSession session(dir_.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::Cancelled);
        EXPECT_TRUE(prompts.messages().empty());
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    EXPECT_EQ(read_file(path("user.dat")), sealed);
}

// Each change is in user.dat, enciphered, the moment it is made: an older reader sees it while
// the session is still open, and no file in the folder ever holds what was typed. After the
// lock user.dat is, block for block, the Crypto++ encipherment of the database SQLite held, and
// nothing else is left.
TEST_F(VaultSessionTest, EveryChangeIsInTheEncipheredVaultAtOnceAndNowhereInPlain) {
    make_vault(kPassword, {"mail", "bank"});
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    EXPECT_EQ(query_sealed(kPassword, "select bt, type from userpass order by OID"),
              "mail|A\nbank|A");

    const std::string marker = "MarkerTypedIntoARecord";
    std::string image;
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        EXPECT_EQ(prompts.log(), std::vector<std::string>{"master"});
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        VaultRecord typed = record(marker);
        typed.password = marker + "-password";
        ASSERT_TRUE(statements::insert_record(session.db(), typed).ok());
        EXPECT_EQ(query_sealed(kPassword, "select bt, pass from userpass order by OID"),
                  "mail|pw\nbank|pw\n" + marker + "|" + marker + "-password");
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        EXPECT_EQ(files_holding(marker), QStringList());
        image = plain_image(session.db());
        session.lock();
        EXPECT_FALSE(session.is_unlocked());
        EXPECT_TRUE(session.master_password().empty());
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    const std::string sealed = read_file(path("user.dat"));
    EXPECT_EQ(sealed.size() % 16, 0u);
    EXPECT_TRUE(sealed == reference_mars_ecb(kPassword, image, true))
        << "user.dat is not the database SQLite held, enciphered block by block";
    EXPECT_EQ(files_holding(marker), QStringList());
}

// A sync client or a copy may put another file at user.dat's name while the vault is open, or
// delete it: the session's connection still reads the file it opened, and SQLite refuses to
// write to a file that has moved. The lock keeps what it finds at the name and saves every
// record of the session to user.dat.
TEST_F(VaultSessionTest, AVaultFileReplacedOrDeletedWhileOpenLosesNoRecordAtTheLock) {
    enum class How { RenamedOver, Deleted, WrittenAtTheName };
    for (How how : {How::RenamedOver, How::Deleted, How::WrittenAtTheName}) {
        SCOPED_TRACE(int(how));
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        make_vault(kPassword, {"mail"});
        const std::string foreign = "bt,name,pass\nnot,a,vault\n";
        auto session = open_vault();
        ASSERT_TRUE(session);
        ASSERT_TRUE(statements::insert_record(session->db(), record("before")).ok());
        switch (how) {
            case How::RenamedOver:
                write_file(path("elsewhere"), foreign);
                ASSERT_TRUE(::rename(QFile::encodeName(path("elsewhere")).constData(),
                                     QFile::encodeName(path("user.dat")).constData()) == 0);
                break;
            case How::Deleted:
                ASSERT_TRUE(QFile::remove(path("user.dat")));
                break;
            case How::WrittenAtTheName:
                ASSERT_TRUE(QFile::remove(path("user.dat")));
                write_file(path("user.dat"), foreign);
                break;
        }
        const Result<RecordId> refused =
            statements::insert_record(session->db(), record("refused"));
        ASSERT_FALSE(refused.ok());
        EXPECT_TRUE(refused.error().contains(QStringLiteral("被移动、替换或删除")))
            << refused.error().toStdString();
        const std::optional<QString> notice = session->lock();
        ASSERT_TRUE(notice.has_value());
        EXPECT_EQ(query_sealed(kPassword, "select group_concat(bt, ',') from userpass"),
                  "mail,before");
        const QStringList kept = QDir(dir_.path()).entryList({"user-*.dat.bak"});
        if (how == How::Deleted) {
            EXPECT_TRUE(kept.isEmpty());
            continue;
        }
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(read_file(path(kept[0])), foreign);
        EXPECT_TRUE(notice->contains(QDir::toNativeSeparators(path(kept[0]))))
            << notice->toStdString();
    }
}

TEST_F(VaultSessionTest, WrongPasswordShowsTheMessageAndTouchesNothing) {
    make_vault(kPassword);
    const std::string sealed = read_file(path("user.dat"));
    for (const std::string& attempt : {kOther, std::string(60, 'x')}) {
        ScriptedPrompts prompts;
        prompts.master_password(attempt);
        VaultSession session(dir_.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::WrongPassword);
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.messages()[0].text, "密码错误");
        EXPECT_EQ(prompts.messages()[0].caption, "出错啦");
        EXPECT_EQ(read_file(path("user.dat")), sealed);
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
}

// A crash in the middle of a change leaves user.dat with some of its pages and a hot journal of
// the pages before; neither file holds what was typed. A wrong password plays nothing back and
// changes neither file; the right one rolls the change back before anything is read, also for a
// session that only reads.
TEST_F(VaultSessionTest, HotJournalIsRolledBackOnlyUnderTheRightPassword) {
    make_vault(kPassword, {"mail", "bank"});
    const std::string committed = read_file(path("user.dat"));
    const Crash crash = crash_mid_change("MarkerTypedIntoARecord");
    ASSERT_FALSE(crash.journal.empty());
    ASSERT_NE(crash.vault, committed) << "no page spilled into user.dat";
    for (const auto access : {VaultSession::Access::ReadWrite, VaultSession::Access::ReadOnly}) {
        SCOPED_TRACE(access == VaultSession::Access::ReadOnly ? "read-only" : "read-write");
        write_file(path("user.dat"), crash.vault);
        write_file(path("user.dat-journal"), crash.journal);
        {
            ScriptedPrompts prompts;
            prompts.master_password(kOther);
            VaultSession session(dir_.path(), access);
            EXPECT_EQ(session.start(prompts), StartOutcome::WrongPassword);
        }
        EXPECT_TRUE(read_file(path("user.dat")) == crash.vault);
        EXPECT_TRUE(read_file(path("user.dat-journal")) == crash.journal);

        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path(), access);
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        EXPECT_FALSE(QFileInfo::exists(path("user.dat-journal")));
        EXPECT_EQ(titles(session), "mail\nbank");
        EXPECT_TRUE(read_file(path("user.dat")) == committed);
    }
}

// The new password takes over at once: user.dat is then the Crypto++ encipherment under it of
// the database the session goes on with, which stores it and every record; from then on the old
// password opens nothing.
TEST_F(VaultSessionTest, ChangedPasswordReKeysTheVaultAtOnce) {
    make_vault(kPassword, {"mail", "bank"});
    {
        auto session = open_vault();
        ASSERT_TRUE(session);
        ASSERT_TRUE(session->change_master_password(kOther).ok());
        EXPECT_EQ(session->master_password(), kOther);
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        EXPECT_EQ(query_sealed(kOther, "select OID, pass from userad"), "1|" + kOther);
        EXPECT_EQ(query_sealed(kOther, "select bt from userpass order by OID"), "mail\nbank");
        EXPECT_TRUE(read_file(path("user.dat")) ==
                    reference_mars_ecb(kOther, plain_image(session->db()), true));
        // The session goes on under the new key.
        ASSERT_TRUE(statements::insert_record(session->db(), record("after")).ok());
        EXPECT_EQ(query_sealed(kOther, "select bt from userpass order by OID"),
                  "mail\nbank\nafter");
        // A key that no cipher accepts is refused and changes nothing.
        const std::string before = read_file(path("user.dat"));
        EXPECT_FALSE(session->change_master_password(std::string(60, 'z')).ok());
        EXPECT_EQ(session->master_password(), kOther);
        EXPECT_TRUE(read_file(path("user.dat")) == before);
        EXPECT_EQ(titles(*session), "mail\nbank\nafter");
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::WrongPassword);
    }
    ScriptedPrompts prompts;
    prompts.master_password(kOther);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(titles(session), "mail\nbank\nafter");
}

#ifdef KORVANE_FAULT_INJECTION
// A re-key that fails at any step of its new file leaves user.dat as it was, under the old
// password, nothing of the new file behind, and the session going on as before.
TEST_F(VaultSessionTest, FailedReKeyKeepsTheVaultUnderTheOldPasswordAndTheSessionGoesOn) {
    make_vault(kPassword, {"mail"});
    std::string expected = "mail";
    for (const char* point : {"atomic.open", "vfs.write", "atomic.sync", "atomic.rename"}) {
        SCOPED_TRACE(point);
        const std::string before = read_file(path("user.dat"));
        {
            auto session = open_vault();
            ASSERT_TRUE(session);
            Status changed;
            {
                FailingStep failing(point);
                changed = session->change_master_password(kOther);
            }
            ASSERT_FALSE(changed.ok());
            EXPECT_FALSE(changed.error().isEmpty());
            EXPECT_EQ(session->master_password(), kPassword);
            EXPECT_TRUE(read_file(path("user.dat")) == before);
            EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
            ASSERT_TRUE(statements::insert_record(session->db(), record(point)).ok());
            expected += std::string("\n") + point;
            EXPECT_EQ(query_sealed(kPassword, "select bt from userpass order by OID"), expected);
        }
        EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    }
    ScriptedPrompts prompts;
    prompts.master_password(kOther);
    VaultSession session(dir_.path());
    EXPECT_EQ(session.start(prompts), StartOutcome::WrongPassword);
}
#endif

TEST_F(VaultSessionTest, LeftOverWorkingFileIsEncipheredWithItsStoredPasswordWithoutAsking) {
    make_vault(kPassword, {"mail"});
    // A run of an earlier version killed while unlocked leaves the plain database and no vault
    // file.
    write_file(path("user.tmp"), plain_vault(kPassword));
    {
        RawSqlite raw(path("user.tmp"));
        raw.exec("insert into userpass values('added before the crash','user','pw','remark','A')");
    }
    QFile::remove(path("user.dat"));

    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), std::vector<std::string>{"master"});
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
    EXPECT_EQ(titles(session), "mail\nadded before the crash");
    EXPECT_EQ(query_sealed(kPassword, "select bt from userpass order by OID"),
              "mail\nadded before the crash");
}

TEST_F(VaultSessionTest, LeftOverWorkingFileWithAHotJournalIsRolledBackBeforeEnciphering) {
    make_vault(kPassword, {"committed"});
    write_file(path("plain.db"), plain_vault(kPassword));
    {
        RawSqlite raw(path("plain.db"));
        raw.exec("PRAGMA cache_size=1;BEGIN");
        for (int i = 0; i < 500; ++i) {
            raw.exec("insert into userpass values(printf('%.400c','u'),'','','','A')");
        }
        // Mid-transaction, pages have spilled into the file and the journal is hot.
        ASSERT_TRUE(QFileInfo::exists(path("plain.db-journal")));
        ASSERT_TRUE(QFile::copy(path("plain.db"), path("crash.db")));
        ASSERT_TRUE(QFile::copy(path("plain.db-journal"), path("crash.db-journal")));
        raw.exec("ROLLBACK");
    }
    QFile::remove(path("plain.db"));
    QFile::remove(path("user.dat"));
    QFile::rename(path("crash.db"), path("user.tmp"));
    QFile::rename(path("crash.db-journal"), path("user.tmp-journal"));

    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
    EXPECT_EQ(query_sealed(kPassword, "pragma integrity_check"), "ok");
    EXPECT_EQ(titles(session), "committed");
}

TEST_F(VaultSessionTest, BothFilesPresentNeverLetsOneCopyOverwriteTheOther) {
    make_vault(kPassword, {"old"});
    const std::string old_sealed = read_file(path("user.dat"));
    {
        // Same vault twice: an earlier version killed between writing one copy and removing the
        // other.
        write_file(path("user.tmp"), plain_vault(kPassword));
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        EXPECT_TRUE(prompts.messages().empty());
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        ASSERT_TRUE(statements::insert_record(session.db(), record("new")).ok());
    }
    {
        // A newer working database beside an older vault file: the newer one wins, the
        // other is kept under a new name.
        write_file(path("user.tmp"), plain_vault(kPassword));
        write_file(path("user.dat"), old_sealed);
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(titles(session), "old\nnew");
        const QStringList kept = QDir(dir_.path()).entryList({"user-*.dat.bak"});
        ASSERT_EQ(kept.size(), 1);
        EXPECT_TRUE(prompts.messages()[0].text.contains(kept[0]));
        EXPECT_EQ(read_file(dir_.filePath(kept[0])), old_sealed);
    }
    {
        // A working file that is no database beside a good vault file: the vault is used.
        write_file(path("user.tmp"), std::string(1000, '\x17'));
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        EXPECT_EQ(titles(session), "old\nnew");
        const QStringList kept = QDir(dir_.path()).entryList({"user-*.tmp.bak"});
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(read_file(dir_.filePath(kept[0])), std::string(1000, '\x17'));
    }
}

TEST_F(VaultSessionTest, EmptyWorkingFileAloneStartsAsAnEmptyFolder) {
    write_file(path("user.tmp"), "");
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new", "master"}));
}

TEST_F(VaultSessionTest, WorkingFileWithoutAStoredPasswordIsKeptAndGetsANewOne) {
    {
        Result<SqliteDb> db = SqliteDb::open(path("user.tmp"));
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(statements::create_schema(*db).ok());
        ASSERT_TRUE(statements::insert_record(*db, record("orphan")).ok());
    }
    {
        ScriptedPrompts prompts;
        prompts.new_password(std::nullopt);
        VaultSession session(dir_.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::Cancelled);
        EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new"}));
    }
    // Never enciphered under an empty key: the plain file is still there, untouched.
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.tmp"});

    ScriptedPrompts prompts;
    prompts.new_password(kOther).master_password(kOther);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
    EXPECT_EQ(titles(session), "orphan");
    EXPECT_EQ(query_sealed(kOther, "select OID, pass from userad"), "1|" + kOther);
}

TEST_F(VaultSessionTest, ForeignWorkingFileIsSetAsideAndANewVaultCreated) {
    write_file(path("user.tmp"), "not a database at all, just some text that got here");
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "message", "new", "master"}));
    EXPECT_EQ(QDir(dir_.path()).entryList({"user-*.tmp.bak"}).size(), 1);
}

TEST_F(VaultSessionTest, SecondInstanceOnTheSameFolderIsRefusedAndTouchesNothing) {
    make_vault(kPassword);
    ScriptedPrompts first_prompts;
    first_prompts.master_password(kPassword);
    VaultSession first(dir_.path());
    ASSERT_EQ(first.start(first_prompts), StartOutcome::Unlocked);
    const std::string sealed = read_file(path("user.dat"));

    ScriptedPrompts prompts;
    VaultSession second(dir_.path());
    EXPECT_EQ(second.start(prompts), StartOutcome::Busy);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.contains("程序已经在运行"));
    EXPECT_EQ(read_file(path("user.dat")), sealed);
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
}

TEST_F(VaultSessionTest, TemporariesOfAnInterruptedWriteAreRemoved) {
    make_vault(kPassword);
    // A re-key or a creation cut short: the new file and its journal.
    write_file(path("user.dat.1234abcd.part"), "half");
    write_file(path("user.dat.1234abcd.part-journal"), "half");
    write_file(path("user.tmp.0badf00d.part"), "half");
    write_file(path("notes.txt.part"), "not ours");
    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(folder_entries(dir_.path()),
              (QStringList{"notes.txt.part", "user.dat", "user.lock"}));
}

TEST_F(VaultSessionTest, LeftoversOfAKillAreClearedBeforeAnythingIsOpened) {
    make_vault(kPassword, {"mail"});
    // A kill inside the lock's creation leaves it empty; nobody holds it.
    write_file(path("user.lock"), "");
    // A journal beside no working file belongs to no database: plain pages only.
    write_file(path("user.tmp-journal"), std::string(8, '\0') + "plain page images");
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        EXPECT_TRUE(prompts.messages().empty());
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        EXPECT_EQ(titles(session), "mail");
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});

    // A hot journal whose vault is gone would be played into the new vault made in its place.
    const Crash crash = crash_mid_change("typed");
    ASSERT_FALSE(crash.journal.empty());
    ASSERT_TRUE(QFile::remove(path("user.dat")));
    write_file(path("user.dat-journal"), crash.journal);
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new", "master"}));
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
    EXPECT_EQ(titles(session), "");
    EXPECT_EQ(query_sealed(kPassword, "pragma integrity_check"), "ok");
}

// A vault that deciphers to a database other SQL could run through, or whose header asks for a
// write-ahead log (which this VFS cannot keep enciphered), or an empty file, is not opened, the
// user is told why, and the folder is left exactly as it was.
TEST_F(VaultSessionTest, UnlockRefusesWhatIsNoUsableVaultAndLeavesTheVaultAsItWas) {
    const std::string kTables =
        "create table userad(pass text);create table type(leibie text);"
        "create table userpass(bt text,name text,pass text,bz text,type text)";
    struct Case {
        const char* name;
        std::string schema;  // of the database enciphered as user.dat; none: an empty user.dat
        const char* says;
    };
    const Case cases[] = {
        {"userpass is a view",
         "create table userad(pass text);create table type(leibie text);"
         "create table t(bt,name,pass,bz,type);create view userpass as select * from t",
         "解密后不是可以使用的密码库"},
        {"type is a view",
         "create table userad(pass text);create table userpass(bt,name,pass,bz,type);"
         "create view type as select 'A' as leibie",
         "解密后不是可以使用的密码库"},
        {"a trigger",
         kTables + ";create trigger t after insert on userpass begin delete from "
                   "userpass; end",
         "触发器"},
        // Each listing would compute 200 MB a row out of a file of a few pages.
        {"a generated column",
         "create table userad(pass text);create table type(leibie text);"
         "create table userpass(bt text,name text,pass text,"
         "bz text generated always as (hex(zeroblob(100000000))) virtual,type text)",
         "计算生成的列"},
        {"a stored generated column",
         "create table userad(pass text);create table type(leibie text);"
         "create table userpass(bt text,name text,pass text,bz text,type text,"
         "g text generated always as (bt || name) stored)",
         "计算生成的列"},
        {"a virtual table",
         "create table userad(pass text);create table type(leibie text);"
         "create virtual table userpass using fts5(bt,name,pass,bz,type)",
         "不是普通的表"},
        {"a write-ahead log", "PRAGMA journal_mode=WAL;" + kTables, "预写日志（WAL）"},
        {"an empty file", "", "文件是空的"},
    };
    int n = 0;
    for (const Case& c : cases) {
        for (const auto access :
             {VaultSession::Access::ReadWrite, VaultSession::Access::ReadOnly}) {
            SCOPED_TRACE(std::string(c.name) +
                         (access == VaultSession::Access::ReadOnly ? " (read-only)" : ""));
            const std::string sealed =
                c.schema.empty()
                    ? std::string()
                    : sealed_database(path("plain.db") + QString::number(n++), c.schema);
            write_file(path("user.dat"), sealed);
            const QStringList before = folder_entries(dir_.path());
            ScriptedPrompts prompts;
            prompts.master_password(kPassword);
            {
                VaultSession session(dir_.path(), access);
                EXPECT_EQ(session.start(prompts), StartOutcome::FileError);
            }
            ASSERT_EQ(prompts.messages().size(), 1u);
            const QString& text = prompts.messages()[0].text;
            EXPECT_TRUE(text.contains(QDir::toNativeSeparators(path("user.dat"))))
                << text.toStdString();
            EXPECT_TRUE(text.contains(QString::fromUtf8(c.says))) << text.toStdString();
            EXPECT_EQ(read_file(path("user.dat")), sealed);
            EXPECT_EQ(folder_entries(dir_.path()), before);
        }
    }
}

// A session that only reads opens user.dat read-only: the folder holds nothing but user.dat and
// the lock while it is open, nothing can be written through it, and user.dat is left as it was.
TEST_F(VaultSessionTest, ReadOnlySessionWritesNothingAndStillHoldsTheFolder) {
    make_vault(kPassword, {"mail", "bank"});
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path("user.dat")).constData(), &before), 0);
    const std::string sealed = read_file(path("user.dat"));
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path(), VaultSession::Access::ReadOnly);
        ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        auto records = statements::all_records(session.db());
        ASSERT_TRUE(records.ok());
        ASSERT_EQ(records->size(), 2u);
        EXPECT_EQ((*records)[1], record("bank"));
        EXPECT_EQ(session.master_password(), kPassword);

        EXPECT_FALSE(statements::insert_record(session.db(), record("new")).ok());
        EXPECT_FALSE(statements::delete_record(session.db(), 1).ok());
        EXPECT_FALSE(session.change_master_password(kOther).ok());
        // Past the connection's own guard, the file itself is open read-only.
        EXPECT_TRUE(session.db().exec("PRAGMA query_only=OFF").ok());
        EXPECT_FALSE(session.db().exec("delete from userpass").ok());

        ScriptedPrompts second_prompts;
        EXPECT_EQ(VaultSession(dir_.path()).start(second_prompts), StartOutcome::Busy);
        session.lock();
    }
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path("user.dat")).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(read_file(path("user.dat")), sealed);
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    EXPECT_EQ(query_sealed(kPassword, "select bt from userpass"), "mail\nbank");
}

// Names that are no regular file are refused before any question and before QLockFile reads
// user.lock; nothing on disk changes.
TEST_F(VaultSessionTest, VaultNamesThatAreNoRegularFileAreRefusedBeforeAnyQuestion) {
    struct Case {
        const char* name;
        const char* file;
        int kind;  // 0 FIFO, 1 folder, 2 link to a missing file, 3 link to a regular file,
                   // 4 link to a device, 5 link to itself
        const char* says = "";
    };
    const Case cases[] = {
        {"FIFO vault", "user.dat", 0},
        {"FIFO working file", "user.tmp", 0},
        {"FIFO lock", "user.lock", 0},
        {"FIFO journal", "user.dat-journal", 0},
        {"linked journal", "user.dat-journal", 3},
        {"folder vault", "user.dat", 1},
        {"dangling vault link", "user.dat", 2},
        {"linked working file", "user.tmp", 3},
        {"linked lock", "user.lock", 3},
        {"vault linked to a device", "user.dat", 4},
        {"dangling vault link names the missing file", "user.dat", 2, "missing”不存在"},
        {"vault link in a loop is called one", "user.dat", 5, "绕成了一个圈"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QByteArray name = QFile::encodeName(dir.filePath(c.file));
        write_file(dir.filePath("elsewhere"), "x");
        switch (c.kind) {
            case 0:
                ASSERT_EQ(::mkfifo(name.constData(), 0600), 0);
                break;
            case 1:
                ASSERT_TRUE(QDir(dir.path()).mkdir(c.file));
                break;
            case 2:
                ASSERT_EQ(::symlink("missing", name.constData()), 0);
                break;
            case 3:
                ASSERT_EQ(::symlink("elsewhere", name.constData()), 0);
                break;
            case 4:
                ASSERT_EQ(::symlink("/dev/null", name.constData()), 0);
                break;
            case 5:
                ASSERT_EQ(::symlink(c.file, name.constData()), 0);
                break;
        }
        const QStringList before = folder_entries(dir.path());
        ScriptedPrompts prompts;
        prompts.new_password(kPassword).master_password(kPassword);
        VaultSession session(dir.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::FileError);
        EXPECT_EQ(prompts.log(), std::vector<std::string>{"message"});
        if (!prompts.messages().empty()) {
            const QString& text = prompts.messages()[0].text;
            EXPECT_TRUE(text.contains(QDir::toNativeSeparators(dir.filePath(c.file))));
            EXPECT_TRUE(text.contains(QString::fromUtf8(c.says))) << text.toStdString();
        }
        EXPECT_EQ(folder_entries(dir.path()), before);
    }
}

TEST_F(VaultSessionTest, LinkedVaultStaysALinkAndIsWrittenThrough) {
    const QString folder = dir_.filePath("vault");
    const QString target = dir_.filePath("synced/vault.dat");
    const QString link = folder + "/user.dat";
    ASSERT_TRUE(SessionVault::in_folder(folder, kPassword).unlock(kPassword));
    // Two links in a chain: user.dat -> ../synced/current -> vault.dat.
    ASSERT_TRUE(QDir().mkpath(dir_.filePath("synced")));
    ASSERT_TRUE(QFile::rename(link, target));
    ASSERT_EQ(
        ::symlink("vault.dat", QFile::encodeName(dir_.filePath("synced/current")).constData()), 0);
    ASSERT_EQ(::symlink("../synced/current", QFile::encodeName(link).constData()), 0);
    auto sealed_titles = [&](const std::string& password) {
        return query_sqlite_bytes(reference_mars_ecb(password, read_file(target), false),
                                  "select bt from userpass order by OID");
    };
    {
        auto session = open_vault(folder);
        ASSERT_TRUE(session);
        ASSERT_TRUE(statements::insert_record(session->db(), record("added")).ok());
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(sealed_titles(kPassword), "added");
        // The new file of a re-key takes the place of the file the links name, not of a link.
        ASSERT_TRUE(session->change_master_password(kOther).ok());
        ASSERT_TRUE(statements::insert_record(session->db(), record("re-keyed")).ok());
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(dir_.filePath("synced/current")).isSymLink());
    EXPECT_EQ(folder_entries(dir_.filePath("synced")), (QStringList{"current", "vault.dat"}));
    EXPECT_EQ(folder_entries(folder), QStringList{"user.dat"});
    EXPECT_EQ(sealed_titles(kOther), "added\nre-keyed");

    // An earlier version killed while unlocked through the link: the link names nothing and the
    // working file is the vault. Beside the file the link names, a write cut short left its
    // temporaries.
    write_file(folder + "/user.tmp", reference_mars_ecb(kOther, read_file(target), false));
    ASSERT_TRUE(QFile::remove(target));
    write_file(dir_.filePath("synced/vault.dat.0badf00d.part"), "half");
    write_file(dir_.filePath("synced/vault.dat.0badf00d.part-journal"), "half");
    ScriptedPrompts prompts;
    prompts.master_password(kOther);
    VaultSession session(folder);
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    // Both links stay; the file they name is written again and the stale temporaries are gone.
    EXPECT_TRUE(QFileInfo(dir_.filePath("synced/current")).isSymLink());
    EXPECT_EQ(QDir(dir_.filePath("synced"))
                  .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"current", "vault.dat"}));
    EXPECT_EQ(folder_entries(folder), (QStringList{"user.dat", "user.lock"}));
    EXPECT_EQ(titles(session), "added\nre-keyed");
    EXPECT_EQ(sealed_titles(kOther), "added\nre-keyed");
}

TEST_F(VaultSessionTest, VaultFolderIsPrivateAndOneOthersCanWriteIsRefused) {
    const QString folder = dir_.filePath("new/vault");
    make_vault(kPassword);  // in dir_, so the next one is not the first vault of the test
    ASSERT_TRUE(SessionVault::in_folder(folder, kPassword).unlock(kPassword));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    for (mode_t mode : {mode_t(0770), mode_t(0702), mode_t(01777)}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), mode), 0);
        const QStringList before = folder_entries(dir_.path());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        VaultSession session(dir_.path());
        EXPECT_EQ(session.start(prompts), StartOutcome::FileError);
        EXPECT_EQ(prompts.log(), std::vector<std::string>{"message"});
        if (!prompts.messages().empty()) {
            EXPECT_TRUE(prompts.messages()[0].text.contains("chmod 700 " +
                                                            QDir::toNativeSeparators(dir_.path())))
                << prompts.messages()[0].text.toStdString();
        }
        EXPECT_EQ(folder_entries(dir_.path()), before);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0700), 0);
}

// Without --vault-dir: an executable in the install bindir (however that is reached) never
// keeps its vault beside itself, whoever runs it; one in a build or unpacked folder does.
TEST_F(VaultSessionTest, DefaultFolderIsTheProgramsOwnOnlyOutsideTheInstallBindir) {
    const QString bindir = path("usr/bin");
    const QString build = path("build/app");
    const QString user = path("home/.local/share/korvane");
    ASSERT_TRUE(QDir().mkpath(bindir) && QDir().mkpath(build));
    ASSERT_EQ(::symlink(QFile::encodeName(path("usr")).constData(),
                        QFile::encodeName(path("merged")).constData()),
              0);
    struct Case {
        const char* name;
        QString program_dir;
        QString install_bindir;
        QString expected;
    };
    const Case cases[] = {
        {"build folder", build, bindir, build},
        {"install bindir", bindir, bindir, user},
        {"bindir with a trailing slash", bindir + "/", bindir, user},
        {"bindir through a link", path("merged/bin"), bindir, user},
        {"bindir named through a link", bindir, path("merged/bin"), user},
        {"bindir not installed", build, path("missing/bin"), build},
        {"program folder unknown", QString(), bindir, user},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(choose_vault_dir({c.program_dir, c.install_bindir, user}), c.expected);
    }
    // The per-user data home: a relative $XDG_DATA_HOME is invalid and ignored.
    const QString home = "/home/u";
    const std::pair<QString, QString> data_homes[] = {
        {"/data/xdg", "/data/xdg"},           {"", "/home/u/.local/share"},
        {"rel/data", "/home/u/.local/share"}, {"./data", "/home/u/.local/share"},
        {"~/data", "/home/u/.local/share"},
    };
    for (const auto& [xdg, expected] : data_homes) {
        SCOPED_TRACE(xdg.toStdString());
        EXPECT_EQ(user_data_home(xdg, home), expected);
    }
}

// The per-user folder is made owner-only down from the first missing folder; a folder that
// already exists keeps its mode.
TEST_F(VaultSessionTest, DefaultFolderIsCreatedPrivateWithItsMissingParents) {
    const QString home = path("home");
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_EQ(::chmod(QFile::encodeName(home).constData(), 0755), 0);
    const QString folder = home + "/.local/share/korvane";
    ASSERT_TRUE(create_private_folders(folder));
    for (const QString& made : {home + "/.local", home + "/.local/share", folder}) {
        SCOPED_TRACE(made.toStdString());
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(made).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
    }
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(home).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);

    // Then the first start makes a new vault there.
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    VaultSession session(folder);
    EXPECT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new", "master"}));

    write_file(path("plain"), "x");
    EXPECT_FALSE(create_private_folders(path("plain/korvane")));
}

TEST_F(VaultSessionTest, LockFromAnotherHostNamesTheFileTheHostAndTheProcess) {
    make_vault(kPassword);
    const std::string holder = "4242\nkorvane\nother-host.invalid\n";
    write_file(path("user.lock"), holder);
    ScriptedPrompts prompts;
    VaultSession session(dir_.path());
    EXPECT_EQ(session.start(prompts), StartOutcome::Busy);
    ASSERT_EQ(prompts.messages().size(), 1u);
    const QString& text = prompts.messages()[0].text;
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(path("user.lock"))));
    EXPECT_TRUE(text.contains("other-host.invalid"));
    EXPECT_TRUE(text.contains("4242"));
    EXPECT_EQ(read_file(path("user.lock")), holder);
}

TEST_F(VaultSessionTest, WorkingFileCutShortNeverWinsOverACompleteVault) {
    make_vault(kPassword, {"old"});
    {
        auto session = open_vault();
        ASSERT_TRUE(session);
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(
                statements::insert_record(session->db(), record(std::string(300, 'n'))).ok());
        }
    }
    // An earlier version's working file of the same vault, cut short (a full disk, a copy broken
    // off), beside the complete vault.
    std::string cut = plain_vault(kPassword);
    cut.resize(cut.size() - 1000);
    write_file(path("user.tmp"), cut);

    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    VaultSession session(dir_.path());
    ASSERT_EQ(session.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(query_sealed(kPassword, "select count(*) from userpass"), "51");
    const QStringList kept = set_aside_plain();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(read_file(dir_.filePath(kept[0])), cut);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.contains(QStringLiteral("明文，未加密")));
}

// A record's number is its OID: the window, korvane-cli and the user's scripts name records by
// it, so it must not change while the record exists, however sparse the vault has become.
// Deleted secrets are zeroed in place (secure_delete) instead of being cut out of the file.
TEST_F(VaultSessionTest, DeletedRecordsLeaveNoPlainTraceAndEveryNumberStays) {
    make_vault(kPassword);
    const std::string numbered = "select OID||' '||bt from userpass order by OID";
    std::string before;
    {
        auto session = open_vault();
        ASSERT_TRUE(session);
        // Sorts keep their scratch pages in memory, never in the temporary folder.
        {
            Result<SqliteStatement> temp_store = session->db().prepare("PRAGMA temp_store");
            ASSERT_TRUE(temp_store.ok() && temp_store->step());
            EXPECT_EQ(temp_store->column_int64(0), 2);
        }
        // Kept records among long deleted ones, so that most pages end up free.
        for (int i = 0; i < 40; ++i) {
            VaultRecord entry = record(i % 8 == 0 ? "old-" + std::to_string(i)
                                                  : "secret-marker-" + std::to_string(i));
            if (i % 8 != 0) entry.remark = std::string(3000, 'z');
            ASSERT_TRUE(statements::insert_record(session->db(), entry).ok());
        }
        ASSERT_TRUE(
            session->db().exec("delete from userpass where bt like 'secret-marker-%'").ok());
        // Neither in the deciphered pages nor in the journal of the delete, now gone.
        EXPECT_EQ(plain_vault(kPassword).find("secret-marker-1"), std::string::npos);
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
        before = query_sealed(kPassword, numbered);
        session->lock();
        // The key is not kept past the lock.
        EXPECT_TRUE(session->master_password().empty());
    }
    EXPECT_EQ(before.rfind("1 old-0\n", 0), 0u) << before;  // the query does see the rows

    // Unlocked again and edited: still the same numbers.
    auto session = open_vault();
    ASSERT_TRUE(session);
    ASSERT_TRUE(session->db().exec("delete from userpass where bt = 'old-8'").ok());
    session->lock();
    std::string without = before;
    const std::size_t gone = without.find("9 old-8\n");
    ASSERT_NE(gone, std::string::npos) << before;
    without.erase(gone, std::string("9 old-8\n").size());
    EXPECT_EQ(query_sealed(kPassword, numbered), without);
}

// A pid that no process has: a child's, once it has ended and been reaped.
qint64 ended_pid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// A lock file is removed only once its holder is proven gone: nobody holds its flock (which
// every live holder, this version's or an older QLockFile's, keeps) and the pid is dead or no
// living holder shows up within the grace. A lock still being written, or held, never is.
TEST_F(VaultSessionTest, ALockIsTakenOverOnlyFromAHolderProvenGone) {
    make_vault(kPassword);
    const std::string host = QSysInfo::machineHostName().toStdString();
    const std::string self = std::to_string(::getpid());
    const std::string exe =
        QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).fileName().toStdString();
    const std::string dead = std::to_string(ended_pid());
    enum class Held { No, Flock, QtLockFile };
    struct Case {
        const char* name;
        std::string content;
        Held held;
        StartOutcome expected;
    };
    const Case cases[] = {
        {"empty, its claimant killed", "", Held::No, StartOutcome::Unlocked},
        {"dead pid of this computer", dead + "\nkorvane\n" + host + "\n", Held::No,
         StartOutcome::Unlocked},
        {"dead pid, no host", dead + "\nkorvane\n\n", Held::No, StartOutcome::Unlocked},
        {"pid now running another program", self + "\nkorvane-gone\n" + host + "\n", Held::No,
         StartOutcome::Unlocked},
        {"live pid but no flock: the pid was given out again",
         self + "\n" + exe + "\n" + host + "\n", Held::No, StartOutcome::Unlocked},
        {"live holder", self + "\n" + exe + "\n" + host + "\n", Held::Flock, StartOutcome::Busy},
        {"dead pid but the flock held: an older version's file reused",
         dead + "\nx\n" + host + "\n", Held::Flock, StartOutcome::Busy},
        {"being written: flock taken, no content yet", "", Held::Flock, StartOutcome::Busy},
        {"an older installation's QLockFile", "", Held::QtLockFile, StartOutcome::Busy},
    };
    const QString lock = path("user.lock");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QLockFile older(lock);
        int fd = -1;
        if (c.held == Held::QtLockFile) {
            ASSERT_TRUE(older.tryLock(0));
        } else {
            write_file(lock, c.content);
        }
        if (c.held == Held::Flock) {
            fd = ::open(QFile::encodeName(lock).constData(), O_RDONLY);
            ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        }
        const std::string content = read_file(lock);
        {
            ScriptedPrompts prompts;
            prompts.master_password(kPassword);
            VaultSession session(dir_.path());
            EXPECT_EQ(session.start(prompts), c.expected);
            if (c.expected == StartOutcome::Busy) {
                ASSERT_EQ(prompts.messages().size(), 1u);
                EXPECT_TRUE(prompts.messages()[0].text.contains("程序已经在运行"));
                EXPECT_EQ(read_file(lock), content);
                EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.dat", "user.lock"}));
            } else {
                EXPECT_TRUE(prompts.messages().empty());
                // Now this session's, held by its flock.
                const int taken = ::open(QFile::encodeName(lock).constData(), O_RDONLY);
                EXPECT_NE(::flock(taken, LOCK_EX | LOCK_NB), 0);
                ::close(taken);
            }
        }
        if (fd >= 0) ::close(fd);
        if (c.held == Held::QtLockFile) older.unlock();
        QFile::remove(lock);
        EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    }

    // And the other way round: an older installation reads this lock's holder, and with a
    // stale time of 0 (a live holder is never stale) it neither takes nor removes it.
    auto session = open_vault();
    ASSERT_TRUE(session);
    QLockFile older(lock);
    older.setStaleLockTime(0);
    EXPECT_FALSE(older.tryLock(0));
    qint64 pid = 0;
    QString holder_host, app;
    ASSERT_TRUE(older.getLockInfo(&pid, &holder_host, &app));
    EXPECT_EQ(pid, ::getpid());
    EXPECT_EQ(holder_host, QSysInfo::machineHostName());
    EXPECT_EQ(app.toStdString(), exe);
    EXPECT_TRUE(QFileInfo::exists(lock));
    session->lock();
    session->release_folder();
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
}

// Whether a folder holds a vault, told apart from why that cannot be seen; only a folder that
// plainly has none is Absent (korvane-cli then says to run init).
TEST_F(VaultSessionTest, WhetherAVaultIsThereIsToldApartFromWhyItCannotBeSeen) {
    enum Make {
        Nothing,
        Vault,
        EmptyWork,
        Work,
        Dangling,
        DanglingBesideWork,
        Loop,
        NotAFolder,
        FolderLinkDangling,
        Unenterable
    };
    struct Case {
        const char* name;
        Make make;
        const char* answer;  // "absent", "present" or what the error says
    };
    const Case cases[] = {
        {"empty folder", Nothing, "absent"},
        {"empty working file alone", EmptyWork, "absent"},
        {"vault", Vault, "present"},
        {"working file left by a crash", Work, "present"},
        {"dangling vault link", Dangling, "不存在"},
        {"dangling vault link beside its working file", DanglingBesideWork, "present"},
        {"vault link in a loop", Loop, "绕成了一个圈"},
        {"folder name is a file", NotAFolder, "不是文件夹"},
        {"folder is a dangling link", FolderLinkDangling, "不存在"},
        {"folder that cannot be entered", Unenterable, "无法进入"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir scratch;
        QString folder = scratch.filePath("vault");
        const QByteArray vault = QFile::encodeName(folder + "/user.dat");
        if (c.make != NotAFolder && c.make != FolderLinkDangling) {
            ASSERT_TRUE(QDir().mkdir(folder));
        }
        switch (c.make) {
            case Vault:
                write_file(folder + "/user.dat", "sealed");
                break;
            case EmptyWork:
                write_file(folder + "/user.tmp", "");
                break;
            case Work:
                write_file(folder + "/user.tmp", "SQLite format 3");
                break;
            case DanglingBesideWork:
                write_file(folder + "/user.tmp", "SQLite format 3");
                [[fallthrough]];
            case Dangling:
                ASSERT_EQ(::symlink("gone.dat", vault.constData()), 0);
                break;
            case Loop:
                ASSERT_EQ(::symlink("user.dat", vault.constData()), 0);
                break;
            case NotAFolder:
                write_file(folder, "x");
                break;
            case FolderLinkDangling:
                ASSERT_EQ(::symlink("gone", QFile::encodeName(folder).constData()), 0);
                break;
            case Unenterable:
                write_file(folder + "/user.dat", "sealed");
                ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0600), 0);
                break;
            case Nothing:
                break;
        }
        // Asked by an ordinary user: root would enter any folder. The scratch folder is made
        // traversable for that user; the vault folder keeps its own mode.
        ASSERT_EQ(::chmod(QFile::encodeName(scratch.path()).constData(), 0755), 0);
        int answer_pipe[2];
        ASSERT_EQ(::pipe(answer_pipe), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
            const Result<VaultPresence> presence = vault_presence(VaultFiles(folder));
            const QByteArray said =
                !presence ? presence.error().toUtf8()
                          : QByteArray(*presence == VaultPresence::Present ? "present" : "absent");
            ::_exit(::write(answer_pipe[1], said.constData(), said.size()) == said.size() ? 0 : 3);
        }
        ::close(answer_pipe[1]);
        std::string said;
        char buffer[512];
        for (ssize_t n; (n = ::read(answer_pipe[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, n);
        ::close(answer_pipe[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_NE(said.find(c.answer), std::string::npos) << said;
        if (std::string(c.answer) != "absent") {
            EXPECT_EQ(said.find("absent"), std::string::npos);
        }
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    }
}

}  // namespace
}  // namespace korvane

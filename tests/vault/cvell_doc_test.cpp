// CVellDoc: every start-up branch, shutdown, and the files each one leaves behind.
#include "vault/cvell_doc.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/file_helpers.h"
#include "support/reference_cipher.h"
#include "support/scripted_prompts.h"
#include "vault/vault_codec.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using testing::folder_entries;
using testing::query_sqlite;
using testing::query_sqlite_bytes;
using testing::read_file;
using testing::reference_mars_ecb;
using testing::ScriptedPrompts;
using testing::write_file;

const std::string kPassword = "secretyyyyyyyyyyy";  // "secret" as the prompts pad it
const std::string kOther = "otheryyyyyyyyyyyy";

VaultRecord record(std::string title, std::string type = "A") {
    return VaultRecord{std::move(title), "user", "pw", "remark", std::move(type)};
}

class CVellDocTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(name); }

    // Creates a vault holding the given record titles, locked under password.
    void make_vault(const std::string& password, const std::vector<std::string>& titles = {}) {
        ScriptedPrompts prompts;
        prompts.new_password(password).master_password(password);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        for (const auto& title : titles) {
            ASSERT_TRUE(statements::insert_record(doc.db(), record(title)).ok());
        }
        ASSERT_TRUE(doc.lock().ok());
    }

    // Reads the vault file the way an earlier installation would: Crypto++ MARS, then SQLite.
    std::string query_sealed(const std::string& password, const std::string& sql) const {
        return query_sqlite_bytes(reference_mars_ecb(password, read_file(path("user.dat")), false),
                                  sql);
    }

    QTemporaryDir dir_;
};

TEST_F(CVellDocTest, FirstRunCreatesAnEmptyVaultThenUnlocksIt) {
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);

    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new", "master"}));
    EXPECT_EQ(prompts.messages()[0].text, "数据库不存在，正在创建数据库，请修改密码");
    EXPECT_EQ(prompts.messages()[0].caption, "出错啦");
    EXPECT_FALSE(QFileInfo::exists(path("user.dat")));
    EXPECT_EQ(query_sqlite(path("user.tmp"),
                           "select name from sqlite_master where type='table' order by rowid"),
              "userad\ntype\nuserpass");
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select OID, pass from userad"), "1|" + kPassword);
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select count(*) from type"), "0");
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select count(*) from userpass"), "0");
    EXPECT_EQ(doc.master_password(), kPassword);
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    EXPECT_EQ(QFile(path("user.tmp")).permissions() & others, QFileDevice::Permissions());
}

TEST_F(CVellDocTest, CancelEndsTheStartAndLeavesFilesAsTheyWere) {
    {
        ScriptedPrompts prompts;
        prompts.new_password(std::nullopt);
        CVellDoc doc(dir_.path());
        EXPECT_EQ(doc.start(prompts), StartOutcome::Cancelled);
    }
    EXPECT_TRUE(folder_entries(dir_.path()).isEmpty());

    make_vault(kPassword);
    const std::string sealed = read_file(path("user.dat"));
    {
        ScriptedPrompts prompts;
        prompts.master_password(std::nullopt);
        CVellDoc doc(dir_.path());
        EXPECT_EQ(doc.start(prompts), StartOutcome::Cancelled);
        EXPECT_TRUE(prompts.messages().empty());
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    EXPECT_EQ(read_file(path("user.dat")), sealed);
}

TEST_F(CVellDocTest, NormalRunLeavesOnlyAVaultAnOlderReaderCanOpen) {
    make_vault(kPassword, {"mail", "bank"});
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
    EXPECT_EQ(read_file(path("user.dat")).size() % 16, 0u);
    EXPECT_EQ(query_sealed(kPassword, "select bt, type from userpass order by OID"),
              "mail|A\nbank|A");

    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), std::vector<std::string>{"master"});
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.lock", "user.tmp"}));
}

TEST_F(CVellDocTest, WrongPasswordShowsTheMessageAndTouchesNothing) {
    make_vault(kPassword);
    const std::string sealed = read_file(path("user.dat"));
    for (const std::string& attempt : {kOther, std::string(60, 'x')}) {
        ScriptedPrompts prompts;
        prompts.master_password(attempt);
        CVellDoc doc(dir_.path());
        EXPECT_EQ(doc.start(prompts), StartOutcome::WrongPassword);
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.messages()[0].text, "密码错误");
        EXPECT_EQ(prompts.messages()[0].caption, "出错啦");
        EXPECT_FALSE(QFileInfo::exists(path("user.tmp")));
        EXPECT_EQ(read_file(path("user.dat")), sealed);
    }
}

TEST_F(CVellDocTest, ChangedPasswordIsRequiredFromTheNextStart) {
    make_vault(kPassword, {"mail"});
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        ASSERT_TRUE(doc.change_master_password(kOther).ok());
        EXPECT_EQ(doc.master_password(), kOther);
        EXPECT_EQ(query_sqlite(path("user.tmp"), "select pass from userad"), kOther);
        // A key that no cipher accepts is refused and changes neither store.
        EXPECT_FALSE(doc.change_master_password(std::string(60, 'z')).ok());
        EXPECT_EQ(doc.master_password(), kOther);
        EXPECT_EQ(query_sqlite(path("user.tmp"), "select pass from userad"), kOther);
    }
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        EXPECT_EQ(doc.start(prompts), StartOutcome::WrongPassword);
    }
    ScriptedPrompts prompts;
    prompts.master_password(kOther);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select bt from userpass"), "mail");
}

TEST_F(CVellDocTest, LeftOverWorkingFileIsSealedWithItsStoredPasswordWithoutAsking) {
    make_vault(kPassword, {"mail"});
    // A run killed while unlocked leaves the plain database and no vault file.
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        ASSERT_TRUE(statements::insert_record(doc.db(), record("added before the crash")).ok());
        QFile::copy(path("user.tmp"), path("crashed.db"));
    }
    QFile::remove(path("user.dat"));
    QFile::rename(path("crashed.db"), path("user.tmp"));

    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), std::vector<std::string>{"master"});
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select bt from userpass order by OID"),
              "mail\nadded before the crash");
}

TEST_F(CVellDocTest, LeftOverWorkingFileWithAHotJournalIsRolledBackBeforeSealing) {
    make_vault(kPassword, {"committed"});
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        ASSERT_TRUE(doc.db().exec("PRAGMA cache_size=1").ok());
        ASSERT_TRUE(doc.db().exec("BEGIN").ok());
        for (int i = 0; i < 500; ++i) {
            ASSERT_TRUE(statements::insert_record(doc.db(), record(std::string(400, 'u'))).ok());
        }
        // Mid-transaction, pages have spilled into the file and the journal is hot.
        ASSERT_TRUE(QFileInfo::exists(path("user.tmp-journal")));
        QFile::copy(path("user.tmp"), path("crash.db"));
        QFile::copy(path("user.tmp-journal"), path("crash.db-journal"));
        ASSERT_TRUE(doc.db().exec("ROLLBACK").ok());
    }
    QFile::remove(path("user.dat"));
    QFile::rename(path("crash.db"), path("user.tmp"));
    QFile::rename(path("crash.db-journal"), path("user.tmp-journal"));

    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(query_sqlite(path("user.tmp"), "pragma integrity_check"), "ok");
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select bt from userpass"), "committed");
}

TEST_F(CVellDocTest, BothFilesPresentNeverLetsOneCopyOverwriteTheOther) {
    make_vault(kPassword, {"old"});
    const std::string old_sealed = read_file(path("user.dat"));
    {
        // Same vault twice: killed between writing one copy and removing the other.
        const std::string plain = reference_mars_ecb(kPassword, old_sealed, false);
        write_file(path("user.tmp"), plain);
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        EXPECT_TRUE(prompts.messages().empty());
        EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"user.lock", "user.tmp"}));
        ASSERT_TRUE(statements::insert_record(doc.db(), record("new")).ok());
        QFile::copy(path("user.tmp"), path("newer.db"));
    }
    {
        // A newer working database beside an older vault file: the newer one wins, the
        // other is kept under a new name.
        write_file(path("user.dat"), old_sealed);
        QFile::remove(path("user.tmp"));
        QFile::rename(path("newer.db"), path("user.tmp"));
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(query_sqlite(path("user.tmp"), "select bt from userpass order by OID"),
                  "old\nnew");
        const QStringList kept = QDir(dir_.path()).entryList({"user-*.dat.bak"});
        ASSERT_EQ(kept.size(), 1);
        EXPECT_TRUE(prompts.messages()[0].text.contains(kept[0]));
        EXPECT_EQ(read_file(dir_.filePath(kept[0])), old_sealed);
    }
    {
        // A working file that is no database beside a good vault file: the vault is used.
        const std::string sealed = read_file(path("user.dat"));
        write_file(path("user.tmp"), std::string(1000, '\x17'));
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        EXPECT_EQ(query_sqlite(path("user.tmp"), "select bt from userpass order by OID"),
                  "old\nnew");
        const QStringList kept = QDir(dir_.path()).entryList({"user-*.tmp.bak"});
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(read_file(dir_.filePath(kept[0])), std::string(1000, '\x17'));
    }
}

TEST_F(CVellDocTest, EmptyWorkingFileAloneStartsAsAnEmptyFolder) {
    write_file(path("user.tmp"), "");
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new", "master"}));
}

TEST_F(CVellDocTest, WorkingFileWithoutAStoredPasswordIsKeptAndGetsANewOne) {
    {
        Result<SqliteDb> db = SqliteDb::open(path("user.tmp"));
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(statements::create_schema(*db).ok());
        ASSERT_TRUE(statements::insert_record(*db, record("orphan")).ok());
    }
    {
        ScriptedPrompts prompts;
        prompts.new_password(std::nullopt);
        CVellDoc doc(dir_.path());
        EXPECT_EQ(doc.start(prompts), StartOutcome::Cancelled);
        EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "new"}));
    }
    // Never sealed under an empty key: the plain file is still there, untouched.
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.tmp"});

    ScriptedPrompts prompts;
    prompts.new_password(kOther).master_password(kOther);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select bt from userpass"), "orphan");
    EXPECT_EQ(query_sqlite(path("user.tmp"), "select OID, pass from userad"), "1|" + kOther);
}

TEST_F(CVellDocTest, ForeignWorkingFileIsSetAsideAndANewVaultCreated) {
    write_file(path("user.tmp"), "not a database at all, just some text that got here");
    ScriptedPrompts prompts;
    prompts.new_password(kPassword).master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(prompts.log(), (std::vector<std::string>{"message", "message", "new", "master"}));
    EXPECT_EQ(QDir(dir_.path()).entryList({"user-*.tmp.bak"}).size(), 1);
}

TEST_F(CVellDocTest, SecondInstanceOnTheSameFolderIsRefusedAndTouchesNothing) {
    make_vault(kPassword);
    ScriptedPrompts first_prompts;
    first_prompts.master_password(kPassword);
    CVellDoc first(dir_.path());
    ASSERT_EQ(first.start(first_prompts), StartOutcome::Unlocked);
    const std::string plain = read_file(path("user.tmp"));

    ScriptedPrompts prompts;
    CVellDoc second(dir_.path());
    EXPECT_EQ(second.start(prompts), StartOutcome::Busy);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.contains("程序已经在运行"));
    EXPECT_EQ(read_file(path("user.tmp")), plain);
    EXPECT_FALSE(QFileInfo::exists(path("user.dat")));
}

TEST_F(CVellDocTest, TemporariesOfAnInterruptedWriteAreRemoved) {
    make_vault(kPassword);
    write_file(path("user.dat.1234abcd.part"), "half");
    write_file(path("user.tmp.0badf00d.part"), "half");
    write_file(path("notes.txt.part"), "not ours");
    ScriptedPrompts prompts;
    prompts.master_password(kPassword);
    CVellDoc doc(dir_.path());
    ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    EXPECT_EQ(folder_entries(dir_.path()), (QStringList{"notes.txt.part", "user.lock", "user.tmp"}));
}

TEST_F(CVellDocTest, LeftoversOfAKillAreClearedAndNoPlainJournalOutlivesTheLock) {
    make_vault(kPassword, {"mail"});
    // A kill inside the lock's creation leaves it empty; nobody holds it.
    write_file(path("user.lock"), "");
    // A journal beside no working file belongs to no database: plain pages only.
    write_file(path("user.tmp-journal"), std::string(8, '\0') + "plain page images");
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        CVellDoc doc(dir_.path());
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        EXPECT_TRUE(prompts.messages().empty());
        EXPECT_FALSE(QFileInfo::exists(path("user.tmp-journal")));
        // One left beside the working file while it is open goes with the lock.
        write_file(path("user.tmp-journal"), std::string(8, '\0'));
        ASSERT_TRUE(doc.lock().ok());
    }
    EXPECT_EQ(folder_entries(dir_.path()), QStringList{"user.dat"});
}

TEST(ResolveVaultDir, CommandLineChoosesTheFolder) {
    EXPECT_EQ(resolve_vault_dir({"korvane", "--vault-dir", "/some/where"}), "/some/where");
    EXPECT_EQ(resolve_vault_dir({"korvane", "--vault-dir=/else"}), "/else");
}

}  // namespace
}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// A disk that fills up while the vault is unlocked, edited, locked or given a new password: the
// folder still opens with the password in force at the last completed change, every completed
// change is there, nothing half-written is left, and each failure reached the user in words.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <map>

#include "diskfull/limited_child.h"
#include "support/file_helpers.h"
#include "support/scripted_prompts.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using testing::ChildOutcome;
using testing::Findings;
using testing::folder_entries;
using testing::Mechanism;
using testing::read_file;
using testing::Room;
using testing::ScriptedPrompts;

const std::string kPassword = "firstyyyyyyyyyyyyyyy";
const std::string kNewPassword = "secondyyyyyyyyyyyyyy";
constexpr int kInitialRecords = 40;

using Records = std::map<std::string, VaultRecord>;  // by title

VaultRecord make_record(const std::string& title, std::size_t remark_size) {
    return VaultRecord{title, "account", "secret", std::string(remark_size, 'r'), kRootCategory};
}

// The message names the lack of room in Chinese. A size limit shows up as a full disk when
// SQLite's write is cut short mid-page, so either wording will do.
bool told(const QString& message) {
    return message.contains(QStringLiteral("磁盘空间不足")) ||
           message.contains(QStringLiteral("文件超出了系统允许的大小"));
}

// A start-up may already fail at the lock file, where Qt keeps the cause to itself.
bool start_told(const ScriptedPrompts& prompts) {
    if (prompts.messages().empty()) return false;
    const QString& last = prompts.messages().back().text;
    return told(last) || last.startsWith(QStringLiteral("无法在文件夹"));
}

std::string text(const QString& s) { return s.toStdString(); }

// One vault folder per free-space level; the level's name goes into every finding.
class Case {
public:
    Case(const QString& scratch, long long level, Findings& findings)
        : dir_(QDir(scratch).filePath(QStringLiteral("vault-%1").arg(level))),
          level_("at " + std::to_string(level) + " bytes: "),
          findings_(findings) {}

    const QString& dir() const { return dir_; }
    QString path(const char* name) const { return QDir(dir_).filePath(QLatin1String(name)); }

    void expect(bool holds, const std::string& what) { findings_.expect(holds, level_ + what); }
    void expect_told(const QString& message, const std::string& when) {
        expect(told(message), when + " was not explained: \"" + text(message) + "\"");
    }
    // Only the given vault files, nothing half-written, set aside or still locked.
    void expect_only(const QStringList& names, const std::string& when) {
        const QStringList entries = folder_entries(dir_);
        expect(entries == names, when + " the folder holds " + text(entries.join(' ')));
    }

    // Builds a locked vault of kInitialRecords records, with nothing limited.
    Records make_vault() {
        Records records;
        VaultSession doc(dir_);
        ScriptedPrompts prompts;
        prompts.new_password(kPassword).master_password(kPassword);
        expect(doc.start(prompts) == StartOutcome::Unlocked, "the vault could not be created");
        for (int i = 0; doc.is_unlocked() && i < kInitialRecords; ++i) {
            VaultRecord record = make_record("initial-" + std::to_string(i), 300);
            expect(statements::insert_record(doc.db(), record).ok(), "an initial insert failed");
            records[record.title] = record;
        }
        expect(doc.lock().ok(), "the new vault could not be locked");
        return records;
    }

    // A fresh session with nothing limited: it must open under password and hold exactly the
    // records, and leave only user.dat behind once closed.
    void expect_vault(const std::string& password, const Records& records) {
        {
            VaultSession doc(dir_);
            ScriptedPrompts prompts;
            prompts.master_password(password);
            const StartOutcome outcome = doc.start(prompts);
            expect(outcome == StartOutcome::Unlocked,
                   "a fresh start did not unlock, outcome " + std::to_string(int(outcome)));
            if (outcome != StartOutcome::Unlocked) return;
            expect(integrity_ok(doc.db()), "the database is damaged");
            Result<std::vector<VaultRecord>> stored = statements::all_records(doc.db());
            Records found;
            if (stored) {
                for (const VaultRecord& record : *stored) found[record.title] = record;
            }
            expect(stored.ok() && found == records,
                   "the records differ: " + std::to_string(found.size()) + " found, " +
                       std::to_string(records.size()) + " expected");
            Result<std::optional<std::string>> pass = statements::read_master_password(doc.db());
            expect(pass.ok() && *pass == password, "the stored master password differs");
            expect(doc.lock().ok(), "the fresh session could not lock");
        }
        expect_only({QLatin1String(VaultSession::kVaultFileName)}, "after a fresh session");
    }

private:
    static bool integrity_ok(SqliteDb& db) {
        Result<SqliteStatement> check = db.prepare("PRAGMA integrity_check");
        return check && check->step() && check->column_text(0) == "ok";
    }

    QString dir_;
    std::string level_;
    Findings& findings_;
};

// Room levels around the vault's size, so the failure lands before, inside and after each write.
std::vector<long long> levels(long long vault_size) {
    return {0,
            512,
            4096,
            16384,
            vault_size / 2,
            vault_size,
            vault_size + 16384,
            2 * vault_size + 65536};
}

long long vault_size_of(const QString& scratch) {
    Findings ignored;
    Case probe(scratch, -1, ignored);
    probe.make_vault();
    const long long size = QFileInfo(probe.path(VaultSession::kVaultFileName)).size();
    QDir(probe.dir()).removeRecursively();
    return size;
}

// Each operation: runs it with `room` left, then checks the folder with the room back.
// Returns whether the limited operation itself failed.
using Operation = bool (*)(Case& c, Room& room, long long level);

bool unlock_operation(Case& c, Room& room, long long level) {
    const Records records = c.make_vault();
    const std::string sealed = read_file(c.path(VaultSession::kVaultFileName));
    room.leave(level);
    bool failed = false;
    bool relocked = true;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        const StartOutcome outcome = doc.start(prompts);
        failed = outcome != StartOutcome::Unlocked;
        if (outcome == StartOutcome::Unlocked) {
            Status locked = doc.lock();
            relocked = locked.ok();
            if (!locked) c.expect_told(locked.error(), "a failed lock");
        } else {
            c.expect(outcome == StartOutcome::FileError,
                     "unlock ended in " + std::to_string(int(outcome)));
            c.expect(start_told(prompts), "the failed unlock was not explained");
        }
    }
    if (failed) {
        c.expect(read_file(c.path(VaultSession::kVaultFileName)) == sealed,
                 "a failed unlock changed user.dat");
    }
    c.expect_only(
        {QLatin1String(relocked ? VaultSession::kVaultFileName : VaultSession::kWorkFileName)},
        relocked ? "after the unlock and lock" : "after a failed lock");
    room.lift();
    c.expect_vault(kPassword, records);
    return failed;
}

bool edit_operation(Case& c, Room& room, long long level) {
    Records records = c.make_vault();
    bool failed = false;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        c.expect(doc.start(prompts) == StartOutcome::Unlocked, "the vault did not unlock");
        room.leave(level);
        for (int i = 0; !failed && i < 40; ++i) {
            const VaultRecord record = make_record("added-" + std::to_string(i), 2000);
            Result<RecordId> added = statements::insert_record(doc.db(), record);
            if (added) records[record.title] = record;
            if (!added) c.expect_told(added.error(), "a failed insert");
            failed = !added;
        }
        // Once full, edits that need no new page may still go through; whatever reports success
        // must last.
        VaultRecord changed = make_record("initial-1", 10);
        if (Status updated = statements::update_record(doc.db(), 2, changed); updated) {
            records.erase("initial-1");
            records[changed.title] = changed;
        } else {
            c.expect_told(updated.error(), "a failed update");
        }
        if (Status removed = statements::delete_record(doc.db(), 3); removed) {
            records.erase("initial-2");
        } else {
            c.expect_told(removed.error(), "a failed delete");
        }
        if (Status locked = doc.lock(); !locked) c.expect_told(locked.error(), "a failed lock");
    }
    room.lift();
    c.expect_vault(kPassword, records);
    return failed;
}

bool lock_operation(Case& c, Room& room, long long level) {
    Records records = c.make_vault();
    bool failed = false;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        c.expect(doc.start(prompts) == StartOutcome::Unlocked, "the vault did not unlock");
        for (int i = 0; i < 10; ++i) {
            const VaultRecord record = make_record("added-" + std::to_string(i), 1000);
            c.expect(statements::insert_record(doc.db(), record).ok(), "an insert failed");
            records[record.title] = record;
        }
        room.leave(level);
        Status locked = doc.lock();
        failed = !locked;
        if (!locked) c.expect_told(locked.error(), "a failed lock");
        c.expect(!doc.is_unlocked(), "the session stayed unlocked");
    }
    c.expect_only(
        {QLatin1String(failed ? VaultSession::kWorkFileName : VaultSession::kVaultFileName)},
        failed ? "after a failed lock" : "after the lock");
    if (failed) {
        // Recovery at the next start needs the same room; still short, it must say so and
        // keep the working file.
        bool recovered = false;
        {
            VaultSession doc(c.dir());
            ScriptedPrompts prompts;
            prompts.master_password(kPassword);
            const StartOutcome outcome = doc.start(prompts);
            recovered = outcome == StartOutcome::Unlocked;
            if (!recovered) {
                c.expect(outcome == StartOutcome::FileError,
                         "a recovery ended in " + std::to_string(int(outcome)));
                c.expect(start_told(prompts), "the failed recovery was not explained");
            } else if (Status locked = doc.lock(); !locked) {
                c.expect_told(locked.error(), "a failed lock after recovery");
                recovered = false;
            }
        }
        c.expect_only(
            {QLatin1String(recovered ? VaultSession::kVaultFileName : VaultSession::kWorkFileName)},
            "after a recovery with little room");
    }
    room.lift();
    c.expect_vault(kPassword, records);
    return failed;
}

bool password_operation(Case& c, Room& room, long long level) {
    const Records records = c.make_vault();
    std::string in_force = kPassword;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        c.expect(doc.start(prompts) == StartOutcome::Unlocked, "the vault did not unlock");
        room.leave(level);
        if (Status changed = doc.change_master_password(kNewPassword); changed) {
            in_force = kNewPassword;
        } else {
            c.expect_told(changed.error(), "a failed password change");
            c.expect(doc.master_password() == kPassword, "the session took the new password");
        }
        if (Status locked = doc.lock(); !locked) c.expect_told(locked.error(), "a failed lock");
    }
    room.lift();
    c.expect_vault(in_force, records);
    VaultSession doc(c.dir());
    ScriptedPrompts prompts;
    prompts.master_password(in_force == kPassword ? kNewPassword : kPassword);
    c.expect(doc.start(prompts) == StartOutcome::WrongPassword,
             "the password not in force opened the vault");
    return in_force == kPassword;
}

// Deletions leave many pages free, which the lock seals as they are (zeroed, never cut out: that
// would renumber the records): wherever the room runs out, nothing is lost and a failed lock
// says why.
bool sparse_lock_operation(Case& c, Room& room, long long level) {
    const Records records = c.make_vault();
    bool failed = false;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        c.expect(doc.start(prompts) == StartOutcome::Unlocked, "the vault did not unlock");
        for (int i = 0; doc.is_unlocked() && i < 20; ++i) {
            c.expect(statements::insert_record(doc.db(), make_record("gone", 2000)).ok(),
                     "an insert failed");
        }
        c.expect(doc.db().exec("delete from userpass where bt = 'gone'").ok(), "the delete failed");
        room.leave(level);
        Status locked = doc.lock();
        failed = !locked;
        if (!locked) c.expect_told(locked.error(), "a failed lock");
    }
    room.lift();
    c.expect_vault(kPassword, records);
    return failed;
}

struct Param {
    Mechanism mechanism;
    const char* name;
    Operation operation;

    friend void PrintTo(const Param& param, std::ostream* out) { *out << param.name; }
};

class DiskFullTest : public ::testing::TestWithParam<Param> {};

TEST_P(DiskFullTest, VaultSurvivesAndUserIsTold) {
    const Param param = GetParam();
    // The size limit works on any file system; one in memory spares the disk every fsync.
    const bool in_memory = param.mechanism == Mechanism::FileSizeLimit &&
                           QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir scratch = in_memory
                                ? QTemporaryDir(QStringLiteral("/dev/shm/korvane-diskfull-XXXXXX"))
                                : QTemporaryDir();
    ASSERT_TRUE(scratch.isValid());
    const ChildOutcome outcome = testing::run_limited(
        param.mechanism, scratch.path(), [&](const QString& root, Room& room, Findings& findings) {
            int failures = 0;
            const std::vector<long long> all = levels(vault_size_of(root));
            for (long long level : all) {
                Case c(root, level, findings);
                failures += param.operation(c, room, level) ? 1 : 0;
                room.lift();
                QDir(c.dir()).removeRecursively();
            }
            // Otherwise the levels missed the operation's writes altogether.
            findings.expect(
                failures > 0 && failures < int(all.size()),
                std::to_string(failures) + " of " + std::to_string(all.size()) + " levels failed");
        });
    if (!outcome.skipped.empty()) GTEST_SKIP() << outcome.skipped;
    EXPECT_TRUE(WIFEXITED(outcome.wait_status) && WEXITSTATUS(outcome.wait_status) == 0)
        << "the child ended with wait status " << outcome.wait_status;
    for (const std::string& finding : outcome.findings) ADD_FAILURE() << finding;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, DiskFullTest,
    ::testing::Values(
        Param{Mechanism::SmallFileSystem, "UnlockOnSmallFileSystem", &unlock_operation},
        Param{Mechanism::SmallFileSystem, "EditOnSmallFileSystem", &edit_operation},
        Param{Mechanism::SmallFileSystem, "LockOnSmallFileSystem", &lock_operation},
        Param{Mechanism::SmallFileSystem, "PasswordOnSmallFileSystem", &password_operation},
        Param{Mechanism::SmallFileSystem, "SparseLockOnSmallFileSystem", &sparse_lock_operation},
        Param{Mechanism::FileSizeLimit, "UnlockUnderSizeLimit", &unlock_operation},
        Param{Mechanism::FileSizeLimit, "EditUnderSizeLimit", &edit_operation},
        Param{Mechanism::FileSizeLimit, "LockUnderSizeLimit", &lock_operation},
        Param{Mechanism::FileSizeLimit, "PasswordUnderSizeLimit", &password_operation},
        Param{Mechanism::FileSizeLimit, "SparseLockUnderSizeLimit", &sparse_lock_operation}),
    [](const ::testing::TestParamInfo<Param>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane

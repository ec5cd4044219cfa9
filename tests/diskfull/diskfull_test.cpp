// SPDX-License-Identifier: GPL-3.0-or-later
// A disk that fills up while the vault is unlocked, edited, locked or given a new password: the
// folder still opens with the password in force at the last completed change, every completed
// change is there, nothing half-written is left, and each failure reached the user in words.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <map>

#include "diskfull/limited_child.h"
#include "support/file_helpers.h"
#include "support/scratch_vault.h"
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

#ifdef KORVANE_CLI_PATH
struct ProgramOutcome {
    int wait_status = -1;
    std::string err;
};

// korvane-cli as a process of its own, given input on standard input. SIGXFSZ is put back to
// its default for it (the limited child ignores it, and an ignored signal stays ignored across
// exec), so a program that does not ignore it itself dies at the size limit.
ProgramOutcome run_program(const QStringList& arguments, const std::string& input) {
    ProgramOutcome outcome;
    int in[2], err[2];
    if (pipe(in) != 0) return outcome;
    if (pipe(err) != 0) {
        close(in[0]);
        close(in[1]);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::vector<QByteArray> words{QByteArrayLiteral(KORVANE_CLI_PATH)};
    for (const QString& argument : arguments) words.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(err[1]);
    if (spawned == 0) (void)!::write(in[1], input.data(), input.size());
    close(in[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) outcome.err.append(buffer, n);
    close(err[0]);
    if (spawned == 0) waitpid(pid, &outcome.wait_status, 0);
    return outcome;
}

// korvane-cli import db with little room: it must end with a message, never by a signal; exit
// 0 and 5 mean the records were added (5: and the vault is in the plain working file until the
// next start seals it), 4 that nothing was; a fresh start finds exactly what the code said.
bool cli_import_operation(Case& c, Room& room, long long level) {
    const Records records = c.make_vault();
    Records imported = records;
    std::vector<test_support::RawRow> rows;
    // About 24 KiB: the level of the vault's size and 16 KiB more lets the import through but
    // not the seal after it.
    for (int i = 0; i < 20; ++i) {
        const VaultRecord record = make_record("imported-" + std::to_string(i), 1000);
        rows.push_back(testing::raw(record));
        imported[record.title] = record;
    }
    const QString source = c.dir() + QStringLiteral("-source.db");
    testing::write_source_vault(source, rows, {});
    room.leave(level);
    const ProgramOutcome run = run_program(
        {"--vault-dir", c.dir(), "--password-stdin", "import", "db", source}, kPassword + "\n");
    room.lift();
    QFile::remove(source);
    const QString err = QString::fromStdString(run.err);
    const bool exited = WIFEXITED(run.wait_status);
    c.expect(exited, "korvane-cli ended with wait status " + std::to_string(run.wait_status) +
                         ": \"" + run.err + "\"");
    const int code = exited ? WEXITSTATUS(run.wait_status) : -1;
    const QStringList entries = folder_entries(c.dir());
    if (code == 5) {
        c.expect(err.contains(QStringLiteral("命令已经完成，所做的修改已保存")),
                 "exit 5 did not say the import was kept: \"" + run.err + "\"");
        c.expect_told(err, "the failed seal after the import");
        c.expect_only({QLatin1String(VaultSession::kWorkFileName)}, "after exit 5");
    } else if (code == 4) {
        // As at any start, the lock file may be what fails first.
        c.expect(told(err) || err.startsWith(QStringLiteral("无法在文件夹")),
                 "the failed import was not explained: \"" + run.err + "\"");
        c.expect(entries == QStringList{VaultSession::kVaultFileName} ||
                     (!entries.isEmpty() &&
                      entries.first() == QLatin1String(VaultSession::kWorkFileName)),
                 "after exit 4 the folder holds " + text(entries.join(' ')));
    } else {
        c.expect(code == 0, "korvane-cli exited " + std::to_string(code) + ": \"" + run.err + "\"");
    }
    c.expect_vault(kPassword, code == 0 || code == 5 ? imported : records);
    return code != 0;
}
#endif

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
#ifdef KORVANE_CLI_PATH
        Param{Mechanism::SmallFileSystem, "CliImportOnSmallFileSystem", &cli_import_operation},
        Param{Mechanism::FileSizeLimit, "CliImportUnderSizeLimit", &cli_import_operation},
#endif
        Param{Mechanism::FileSizeLimit, "UnlockUnderSizeLimit", &unlock_operation},
        Param{Mechanism::FileSizeLimit, "EditUnderSizeLimit", &edit_operation},
        Param{Mechanism::FileSizeLimit, "LockUnderSizeLimit", &lock_operation},
        Param{Mechanism::FileSizeLimit, "PasswordUnderSizeLimit", &password_operation},
        Param{Mechanism::FileSizeLimit, "SparseLockUnderSizeLimit", &sparse_lock_operation}),
    [](const ::testing::TestParamInfo<Param>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane

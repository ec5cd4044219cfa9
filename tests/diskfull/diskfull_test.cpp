// SPDX-License-Identifier: GPL-3.0-or-later
// A disk that fills up while the vault is created, unlocked, edited (records added, changed,
// deleted) or given a new password: the folder still opens with the password in force at the last
// completed change, every completed change is there, nothing half-written is left, and each
// failure reached the user in words.
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

using test_support::ChildOutcome;
using test_support::Findings;
using test_support::folder_entries;
using test_support::Mechanism;
using test_support::read_file;
using test_support::Room;
using test_support::ScriptedPrompts;

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
    static QString vault_name() { return QLatin1String(VaultFiles::kVaultName); }
    QString vault() const { return path(VaultFiles::kVaultName); }

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
        }
        expect_only({vault_name()}, "after a fresh session");
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
    const long long size = QFileInfo(probe.vault()).size();
    QDir(probe.dir()).removeRecursively();
    return size;
}

// Each operation: runs it with `room` left, then checks the folder with the room back.
// Returns whether the limited operation itself failed.
using Operation = bool (*)(Case& c, Room& room, long long level);

// A new vault in an empty folder: made whole, or not at all and the user told why.
bool create_operation(Case& c, Room& room, long long level) {
    c.expect(QDir().mkpath(c.dir()), "the folder could not be made");
    room.leave(level);
    bool failed = false;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.new_password(kPassword).master_password(kPassword);
        const StartOutcome outcome = doc.start(prompts);
        failed = outcome != StartOutcome::Unlocked;
        if (failed) {
            c.expect(outcome == StartOutcome::FileError,
                     "the creation ended in " + std::to_string(int(outcome)));
            c.expect(start_told(prompts), "the failed creation was not explained");
        }
    }
    room.lift();
    if (failed) {
        c.expect_only({}, "after a failed creation");
    } else {
        c.expect_vault(kPassword, {});
    }
    return failed;
}

// An unlock writes nothing but the lock file: user.dat stays as it was, whether the claim of
// the folder fails or not.
bool unlock_operation(Case& c, Room& room, long long level) {
    const Records records = c.make_vault();
    const std::string sealed = read_file(c.vault());
    room.leave(level);
    bool failed = false;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        const StartOutcome outcome = doc.start(prompts);
        failed = outcome != StartOutcome::Unlocked;
        if (failed) {
            c.expect(outcome == StartOutcome::FileError,
                     "unlock ended in " + std::to_string(int(outcome)));
            c.expect(start_told(prompts), "the failed unlock was not explained");
        }
    }
    c.expect(read_file(c.vault()) == sealed, "an unlock and lock changed user.dat");
    c.expect_only({Case::vault_name()}, "after the unlock");
    room.lift();
    c.expect_vault(kPassword, records);
    return failed;
}

// Records added until one fails, then an edit and a delete: whatever reports success lasts, a
// failure is explained and the session goes on.
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
        // Once full, edits that need no new page may still go through (each journals the pages
        // it changes first); whatever reports success must last.
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
        // With room again, the same session still writes.
        room.lift();
        const VaultRecord after = make_record("after-the-full-disk", 100);
        c.expect(statements::insert_record(doc.db(), after).ok(),
                 "the session could not write once there was room again");
        records[after.title] = after;
    }
    c.expect_vault(kPassword, records);
    return failed;
}

// The re-key writes a whole new file beside user.dat: with too little room for it the old
// vault stays, under the old password, and the session goes on under that one.
bool password_operation(Case& c, Room& room, long long level) {
    Records records = c.make_vault();
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
        room.lift();
        const VaultRecord after = make_record("after-the-change", 100);
        c.expect(statements::insert_record(doc.db(), after).ok(),
                 "the session could not write after the password change");
        records[after.title] = after;
    }
    c.expect_vault(in_force, records);
    VaultSession doc(c.dir());
    ScriptedPrompts prompts;
    prompts.master_password(in_force == kPassword ? kNewPassword : kPassword);
    c.expect(doc.start(prompts) == StartOutcome::WrongPassword,
             "the password not in force opened the vault");
    return in_force == kPassword;
}

// Deleting many records in one statement journals every page it zeroes (secure_delete) before
// the first is changed: wherever the room runs out, all of them are still there or none, and a
// failure says why.
bool bulk_delete_operation(Case& c, Room& room, long long level) {
    Records records = c.make_vault();
    Records with_gone = records;
    bool failed = false;
    {
        VaultSession doc(c.dir());
        ScriptedPrompts prompts;
        prompts.master_password(kPassword);
        c.expect(doc.start(prompts) == StartOutcome::Unlocked, "the vault did not unlock");
        for (int i = 0; doc.is_unlocked() && i < 20; ++i) {
            const VaultRecord gone = make_record("gone-" + std::to_string(i), 2000);
            c.expect(statements::insert_record(doc.db(), gone).ok(), "an insert failed");
            with_gone[gone.title] = gone;
        }
        room.leave(level);
        Status removed = doc.db().exec("delete from userpass where bt like 'gone-%'");
        failed = !removed;
        if (!removed) c.expect_told(removed.error(), "a failed delete");
    }
    room.lift();
    c.expect_vault(kPassword, failed ? with_gone : records);
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
// 0 means the records were added, 4 that none was (the import is one transaction); a fresh start
// finds exactly what the code said, and nothing but user.dat is left after it.
bool cli_import_operation(Case& c, Room& room, long long level) {
    const Records records = c.make_vault();
    Records imported = records;
    std::vector<test_support::RawRow> rows;
    // About 24 KiB, more than the vault itself: the lower levels cannot take them.
    for (int i = 0; i < 20; ++i) {
        const VaultRecord record = make_record("imported-" + std::to_string(i), 1000);
        rows.push_back(test_support::raw(record));
        imported[record.title] = record;
    }
    const QString source = c.dir() + QStringLiteral("-source.db");
    test_support::write_source_vault(source, rows, {});
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
    if (code == 4) {
        // As at any start, the lock file may be what fails first.
        c.expect(told(err) || err.startsWith(QStringLiteral("无法在文件夹")),
                 "the failed import was not explained: \"" + run.err + "\"");
    } else {
        c.expect(code == 0, "korvane-cli exited " + std::to_string(code) + ": \"" + run.err + "\"");
    }
    if (code == 0) {
        c.expect_only({Case::vault_name()}, "after korvane-cli");
    } else {
        // A write that failed inside the commit leaves SQLite unable to finish the rollback
        // itself: the program ends with the journal still hot, which the next start plays back
        // before anything is read, as expect_vault shows.
        const QStringList entries = folder_entries(c.dir());
        const QStringList allowed = {
            Case::vault_name(), Case::vault_name() + QLatin1String(VaultFiles::kJournalSuffix)};
        c.expect(std::all_of(entries.begin(), entries.end(),
                             [&](const QString& name) { return allowed.contains(name); }),
                 "after a failed korvane-cli the folder holds " + text(entries.join(' ')));
    }
    c.expect_vault(kPassword, code == 0 ? imported : records);
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
    const ChildOutcome outcome = test_support::run_limited(
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
        Param{Mechanism::SmallFileSystem, "CreateOnSmallFileSystem", &create_operation},
        Param{Mechanism::SmallFileSystem, "UnlockOnSmallFileSystem", &unlock_operation},
        Param{Mechanism::SmallFileSystem, "EditOnSmallFileSystem", &edit_operation},
        Param{Mechanism::SmallFileSystem, "PasswordOnSmallFileSystem", &password_operation},
        Param{Mechanism::SmallFileSystem, "BulkDeleteOnSmallFileSystem", &bulk_delete_operation},
#ifdef KORVANE_CLI_PATH
        Param{Mechanism::SmallFileSystem, "CliImportOnSmallFileSystem", &cli_import_operation},
        Param{Mechanism::FileSizeLimit, "CliImportUnderSizeLimit", &cli_import_operation},
#endif
        Param{Mechanism::FileSizeLimit, "CreateUnderSizeLimit", &create_operation},
        Param{Mechanism::FileSizeLimit, "UnlockUnderSizeLimit", &unlock_operation},
        Param{Mechanism::FileSizeLimit, "EditUnderSizeLimit", &edit_operation},
        Param{Mechanism::FileSizeLimit, "PasswordUnderSizeLimit", &password_operation},
        Param{Mechanism::FileSizeLimit, "BulkDeleteUnderSizeLimit", &bulk_delete_operation}),
    [](const ::testing::TestParamInfo<Param>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// Kill tests: SIGKILL the vault child at random moments and at each file step, then check that
// a fresh start in the same folder unlocks and holds every record the child had finished.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/file_helpers.h"
#include "support/scripted_prompts.h"
#include "vault/vault_record.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using testing::ScriptedPrompts;

constexpr int kRandomKills = 1000;
constexpr int kMaxDelayMs = 60;
constexpr int kFaultRounds = 6;
// "atomic.write" is left out: the codec writes through the writer's device, so it never hits.
// "codec.encipher" is reached once per worker's share of a chunk, on the worker's own thread:
// its first hits fall inside the first lock's parallel cipher, the other workers mid-chunk.
const std::vector<std::string> kFaultPoints = {
    "atomic.open",  "atomic.sync",         "atomic.rename", "codec.write",
    "codec.verify", "codec.remove_source", "codec.encipher"};
// A remark this long gives the vault two chunks and a ragged tail, far past the size from
// which the codec splits the cipher between threads, so random kills land in the threads too.
constexpr std::size_t kPaddingRemarkBytes = (1 << 20) + (300 << 10);

struct JournalLine {
    std::string state;  // begin or done
    std::string kind;
    std::string value;
};

// Whole lines only: a line is written with one call, but stay safe against a torn tail.
std::vector<JournalLine> read_journal(const std::string& path, std::streamoff from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<JournalLine> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (stream.eof()) break;  // no newline: not a finished line
        JournalLine parsed;
        std::istringstream fields(line);
        fields >> parsed.state >> parsed.kind >> parsed.value;
        lines.push_back(parsed);
    }
    return lines;
}

std::streamoff file_size(const std::string& path) {
    return static_cast<std::streamoff>(QFileInfo(QString::fromStdString(path)).size());
}

// Where the last finished or started journal step says the child was when it died.
std::string phase_of(const std::vector<JournalLine>& lines) {
    if (lines.empty()) return "startup";
    const JournalLine& last = lines.back();
    if (last.state == "done") return "between steps";
    if (last.kind == "unlock") return "unlock";
    if (last.kind == "lock") return "lock";
    return "edit";
}

class KillHarness : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        journal_ = dir_.filePath(QStringLiteral("journal.txt")).toStdString();
        vault_dir_ = dir_.filePath(QStringLiteral("vault"));
        const char* seed_text = std::getenv("KORVANE_KILL_SEED");
        seed_ = seed_text != nullptr ? std::strtoul(seed_text, nullptr, 10) : 20261208u;
        std::cout << "kill harness seed " << seed_ << " (set KORVANE_KILL_SEED to repeat)\n";
        random_.seed(seed_);
    }

    // Starts the child and returns once it is dead; false when it outlived the safety limit.
    bool run_child(long child_seed, std::optional<int> delay_ms, const std::string& point = {},
                   int count = 0) {
        const std::string dir = vault_dir_.toStdString();
        const std::string seed = std::to_string(child_seed);
        const std::string count_text = std::to_string(count);
        std::vector<const char*> args = {KORVANE_KILL_CHILD_PATH, dir.c_str(), journal_.c_str(),
                                         seed.c_str(), password_.c_str()};
        if (!point.empty()) {
            args.push_back(point.c_str());
            args.push_back(count_text.c_str());
        }
        args.push_back(nullptr);
        const std::streamoff journal_before = file_size(journal_);
        const pid_t pid = fork();
        if (pid == 0) {
            execv(args[0], const_cast<char* const*>(args.data()));
            _exit(127);
        }
        EXPECT_GT(pid, 0);
        if (delay_ms) {
            // The delay counts from the child's first journal line: a kill while the process is
            // still loading touches no vault file and would prove nothing.
            for (int waited = 0; waited < 20000 && file_size(journal_) == journal_before;
                 ++waited) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(*delay_ms));
            kill(pid, SIGKILL);
        }
        // A fault point is reached within the first cycles; this only guards against a hang.
        bool died_by_itself = true;
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
            if (waited == 6000) {
                died_by_itself = false;
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "child ended on its own (exit " << WEXITSTATUS(status) << "), seed " << child_seed
            << " point " << point << " count " << count;
        return died_by_itself || delay_ms.has_value();
    }

    // Starts fresh with the password in force, checks every finished record, locks again.
    void verify(const std::string& label, const std::vector<JournalLine>& lines) {
        std::vector<std::string> candidates = {password_};
        for (const JournalLine& line : lines) {
            if (line.state == "done" && line.kind == "password") candidates = {line.value};
            if (line.state == "done" && line.kind == "record") finished_records_.insert(line.value);
        }
        if (!lines.empty() && lines.back().state == "begin" && lines.back().kind == "password") {
            candidates.push_back(lines.back().value);
        }
        for (const QString& name : testing::folder_entries(vault_dir_)) {
            if (name.endsWith(QStringLiteral(".bak"))) ++bak_files_seen_;
            if (name != QLatin1String(VaultSession::kVaultFileName) &&
                name != QLatin1String(VaultSession::kWorkFileName) &&
                name != QLatin1String(VaultSession::kLockFileName)) {
                ++leftovers_after_kill_[name.section(QLatin1Char('.'), -1).toStdString()];
            }
        }

        const QString lock_path =
            QDir(vault_dir_).filePath(QLatin1String(VaultSession::kLockFileName));
        if (QFileInfo::exists(lock_path) && QFileInfo(lock_path).size() == 0) {
            // user.lock is published whole (linked from a finished private file), so no kill
            // should leave it empty; one that did would make every later start wait and answer
            // Busy.
            ++empty_locks_after_kill_;
            std::cout << label << ": empty user.lock left by the kill\n";
            if (!strict_) QFile::remove(lock_path);
        }

        bool unlocked = false;
        for (const std::string& candidate : candidates) {
            VaultSession doc(vault_dir_);
            ScriptedPrompts prompts;
            prompts.master_password(candidate);
            const StartOutcome outcome = doc.start(prompts);
            // The first candidate may be the one an unfinished change replaced; the next is tried.
            if (outcome == StartOutcome::WrongPassword) continue;
            for (const ScriptedPrompts::Message& message : prompts.messages()) {
                ADD_FAILURE() << label << ": start said " << message.text.toStdString();
            }
            ASSERT_EQ(outcome, StartOutcome::Unlocked) << label;
            unlocked = true;
            if (candidate != candidates.front()) ++begun_password_in_force_;
            password_ = candidate;

            Result<std::vector<VaultRecord>> records = statements::all_records(doc.db());
            ASSERT_TRUE(records.ok()) << label;
            std::set<std::string> titles;
            for (const VaultRecord& record : *records) titles.insert(record.title);
            for (const std::string& title : finished_records_) {
                ASSERT_TRUE(titles.count(title))
                    << label << ": finished record " << title << " is missing";
            }
            ASSERT_TRUE(doc.lock().ok()) << label;
            EXPECT_FALSE(QFileInfo::exists(doc.work_path())) << label;
            break;
        }
        ASSERT_TRUE(unlocked) << label << ": user.dat opens under none of the passwords in force";

        for (const QString& name : testing::folder_entries(vault_dir_)) {
            if (name.endsWith(QStringLiteral(".bak"))) continue;  // counted above, reported
            if (name == QStringLiteral("user.tmp-journal")) {
                const std::string bytes = testing::read_file(QDir(vault_dir_).filePath(name));
                std::ostringstream head;
                for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) {
                    head << std::hex << int(static_cast<unsigned char>(bytes[i])) << ' ';
                }
                std::cout << label << ": user.tmp-journal outlives the lock, " << bytes.size()
                          << " bytes, head " << head.str() << "\n";
                ++journals_after_lock_;
                EXPECT_FALSE(strict_) << label << ": user.tmp-journal outlives the lock";
                if (!strict_) QFile::remove(QDir(vault_dir_).filePath(name));
                continue;
            }
            EXPECT_EQ(name, QLatin1String(VaultSession::kVaultFileName)) << label << ": stray file";
        }
    }

    // One kill and its check; stops the test at the first failure so the reproducer is clear.
    void kill_and_verify(const std::string& label, std::optional<int> delay_ms,
                         const std::string& point = {}, int count = 0) {
        const long child_seed = next_child_seed_++;
        const std::string full_label = label + " child seed " + std::to_string(child_seed);
        const std::streamoff from = file_size(journal_);
        if (!run_child(child_seed, delay_ms, point, count)) {
            ADD_FAILURE() << full_label << ": fault point never reached";
        }
        const std::vector<JournalLine> lines = read_journal(journal_, from);
        ++kills_;
        if (!delay_ms) ++fault_kills_;
        ++phases_[phase_of(lines)];
        verify(full_label, lines);
    }

    void run_all_kills();

    QTemporaryDir dir_;
    QString vault_dir_;
    std::string journal_;
    unsigned long seed_ = 0;
    std::mt19937 random_;
    long next_child_seed_ = 0;
    std::string password_ = "first-passwordyyyyyyyyy";
    std::set<std::string> finished_records_;
    int kills_ = 0;
    int fault_kills_ = 0;
    int bak_files_seen_ = 0;
    int begun_password_in_force_ = 0;
    int journals_after_lock_ = 0;
    int empty_locks_after_kill_ = 0;
    // Off: the two known leftovers below are counted, reported and cleared so the run goes on.
    bool strict_ = false;
    std::map<std::string, int> phases_;
    std::map<std::string, int> leftovers_after_kill_;
};

void KillHarness::run_all_kills() {
    next_child_seed_ = static_cast<long>(seed_ % 100000) * 10000;
    {
        // The vault exists before the first kill, so every child starts by unlocking.
        VaultSession doc(vault_dir_);
        ScriptedPrompts prompts;
        prompts.new_password(password_).master_password(password_);
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        VaultRecord padding;
        padding.title = "padding";
        padding.remark = std::string(kPaddingRemarkBytes, 'p');
        padding.category = kRootCategory;
        ASSERT_TRUE(statements::insert_record(doc.db(), padding).ok());
        ASSERT_TRUE(doc.lock().ok());
        ASSERT_GT(QFileInfo(QDir(vault_dir_).filePath(QLatin1String(VaultSession::kVaultFileName)))
                      .size(),
                  qint64(1 << 20));
    }

    std::uniform_int_distribution<int> delay(0, kMaxDelayMs);
    std::vector<std::string> plan;
    for (int round = 0; round < kFaultRounds; ++round) {
        for (const std::string& point : kFaultPoints) {
            for (int count = 1; count <= 3; ++count)
                plan.push_back(point + " " + std::to_string(count));
        }
    }
    for (int i = 0; i < kRandomKills; ++i) plan.push_back({});
    std::shuffle(plan.begin(), plan.end(), random_);

    for (const std::string& step : plan) {
        if (step.empty()) {
            const int ms = delay(random_);
            kill_and_verify("kill after " + std::to_string(ms) + " ms", ms);
        } else {
            std::istringstream fields(step);
            std::string point;
            int count = 0;
            fields >> point >> count;
            kill_and_verify("kill at " + step, std::nullopt, point, count);
        }
        if (HasFatalFailure() || (strict_ && HasFailure())) break;
    }

    std::cout << "kills: " << kills_ << " (" << kills_ - fault_kills_ << " after a random delay, "
              << fault_kills_ << " at fault points)\n";
    for (const auto& [phase, count] : phases_)
        std::cout << "  killed in " << phase << ": " << count << "\n";
    for (const auto& [suffix, count] : leftovers_after_kill_) {
        std::cout << "  left after a kill, *." << suffix << ": " << count << "\n";
    }
    std::cout << "  password from an unfinished change in force: " << begun_password_in_force_
              << "\n  set-aside .bak files seen: " << bak_files_seen_
              << "\n  finished records checked: " << finished_records_.size()
              << "\n  user.tmp-journal left after the lock: " << journals_after_lock_
              << "\n  empty user.lock left by a kill: " << empty_locks_after_kill_ << "\n";
    EXPECT_EQ(bak_files_seen_, 0);
}

// Strict: a kill inside an SQLite write can leave a user.tmp-journal whose zeroed header SQLite
// does not roll back (plain page images), and a kill while claiming the folder must never leave
// an empty user.lock; the next start must clear the first, so neither may outlive a lock.
// Reproducer of the first sighting of each: KORVANE_KILL_SEED=20261208, child seeds
// 612080003 (60 ms) and 612080505 (38 ms); the delays are timing-dependent.
TEST_F(KillHarness, NothingFinishedIsLostWhateverTheMomentOfTheKill) {
    strict_ = true;
    run_all_kills();
    EXPECT_GE(kills_, 500);
}

}  // namespace
}  // namespace korvane

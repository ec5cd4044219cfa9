// SPDX-License-Identifier: GPL-3.0-or-later
// Many programs started on one vault folder at the same moment: one at a time gets it, the
// others are told it is busy, and nothing is lost or left behind whatever the interleaving.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "support/file_helpers.h"
#include "support/scripted_prompts.h"
#include "vault/vault_record.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using test_support::ScriptedPrompts;

constexpr int kRounds = 80;
constexpr int kWindowsPerRound = 4;
#ifdef KORVANE_CLI_PATH
constexpr int kCommandsPerRound = 4;
#else
constexpr int kCommandsPerRound = 0;
#endif
constexpr char kTyped[] = "master";
constexpr char kPadded[] = "masteryyyyyyyyyyy";  // kTyped as both programs pad it

struct Child {
    pid_t pid = -1;
    std::string title;
    bool window = false;  // else korvane-cli add
    std::string err_path;
};

// Starts a child whose standard input holds the typed password, its stderr kept in a file.
pid_t spawn(const std::vector<std::string>& args, const std::string& err_path) {
    int input[2];
    if (::pipe(input) != 0) return -1;
    const std::string line = std::string(kTyped) + "\n";
    if (::write(input[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return -1;
    }
    ::close(input[1]);
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input[0], 0);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(err, 2);
        ::execv(argv[0], const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(input[0]);
    return pid;
}

std::set<std::string> titles_in(const QString& vault_dir) {
    VaultSession doc(vault_dir, VaultSession::Access::ReadOnly);
    ScriptedPrompts prompts;
    prompts.master_password(kPadded);
    EXPECT_EQ(doc.start(prompts), StartOutcome::Unlocked);
    std::set<std::string> titles;
    if (!doc.is_unlocked()) return titles;
    Result<std::vector<VaultRecord>> records = statements::all_records(doc.db());
    EXPECT_TRUE(records.ok());
    if (records.ok()) {
        for (const VaultRecord& record : *records) titles.insert(record.title);
    }
    return titles;
}

TEST(ParallelClaim, ProgramsStartedTogetherNeverShareTheFolderNorLoseARecord) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString vault_dir = dir.filePath(QStringLiteral("vault"));
    {
        VaultSession doc(vault_dir);
        ScriptedPrompts prompts;
        prompts.new_password(kPadded).master_password(kPadded);
        ASSERT_EQ(doc.start(prompts), StartOutcome::Unlocked);
        doc.lock();
    }
    std::set<std::string> expected;
    int claimed = 0, busy = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<Child> children;
        for (int i = 0; i < kWindowsPerRound + kCommandsPerRound; ++i) {
            Child child;
            child.window = i < kWindowsPerRound;
            child.title = "r" + std::to_string(round) + "-" + std::to_string(i);
            child.err_path = dir.filePath(QStringLiteral("err-%1").arg(i)).toStdString();
            std::vector<std::string> args;
            if (child.window) {
                args = {KORVANE_KILL_CHILD_PATH, "--add", vault_dir.toStdString(), kPadded,
                        child.title};
            } else {
#ifdef KORVANE_CLI_PATH
                args = {KORVANE_CLI_PATH,   "--vault-dir", vault_dir.toStdString(),
                        "--password-stdin", "add",         "--title",
                        child.title};
#endif
            }
            child.pid = spawn(args, child.err_path);
            ASSERT_GT(child.pid, 0);
            children.push_back(child);
        }
        std::vector<std::pair<Child, int>> ended;
        for (const Child& child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
            ASSERT_TRUE(WIFEXITED(status)) << child.title;
            ended.emplace_back(child, WEXITSTATUS(status));
        }
        for (const auto& [child, code] : ended) {
            const std::string err = test_support::read_file(QString::fromStdString(child.err_path));
            SCOPED_TRACE(child.title + (child.window ? " (window)" : " (korvane-cli)") + ", exit " +
                         std::to_string(code) + ", said: " + err);
            // Busy is the only refusal a free folder's vault can give; 5: the window added
            // its first record, then found the folder taken while it was locked.
            ASSERT_TRUE(code == 0 || code == 3 || (child.window && code == 5));
            if (code == 0 || code == 5) {
                expected.insert(child.title);
                ++claimed;
            } else {
                ++busy;
            }
            if (child.window && code == 0) expected.insert(child.title + "-again");
        }
        ASSERT_EQ(test_support::folder_entries(vault_dir), QStringList{"user.dat"})
            << "round " << round;
        // Every record of a run that said so is there, and none of a run that was refused.
        ASSERT_EQ(titles_in(vault_dir), expected) << "round " << round;
    }
    std::cout << "parallel starts: " << claimed << " claimed the folder, " << busy
              << " were told it is busy\n";
    EXPECT_GT(claimed, kRounds);
}

}  // namespace
}  // namespace korvane

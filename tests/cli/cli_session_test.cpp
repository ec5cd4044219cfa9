// SPDX-License-Identifier: GPL-3.0-or-later
// korvane-cli's vault session: creation, unlocking, locking again, recovery and refusals,
// checked on the files the window's code then finds.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "cli/cli.h"
#include "cli/exit_codes.h"
#include "cli_test_support.h"
#include "support/failing_step.h"
#include "support/file_helpers.h"
#include "support/legacy_files.h"
#include "support/reference_cipher.h"
#include "support/scratch_vault.h"
#include "vault/text.h"
#include "vault/vault_session.h"

namespace korvane::test_support {
namespace {

class CliSessionTest : public CliTest {
protected:
    QStringList entries() const { return folder_entries(vault_dir()); }
    StartOutcome window_start(const std::string& password) {
        return window_vault().try_unlock(password);
    }
};

TEST_F(CliSessionTest, InitCreatesAVaultThatTheWindowOpens) {
    const CliRun created = cli({"init"}, "new one\nnew one\n");
    ASSERT_EQ(created.exit_code, 0) << created.err.toStdString();
    EXPECT_EQ(entries(), QStringList{"user.dat"});
    EXPECT_EQ(window_start(kPaddedMaster), StartOutcome::WrongPassword);
    EXPECT_TRUE(window_records(text::pad_master_password("new one")).empty());

    const QByteArray sealed = QByteArray::fromStdString(read_file(vault_file("user.dat")));
    EXPECT_EQ(cli({"init"}, "x\nx\n").exit_code, cli::kExitFile);
    EXPECT_EQ(read_file(vault_file("user.dat")), sealed.toStdString());
}

TEST_F(CliSessionTest, InitRefusesWhatTheNewPasswordDialogRefuses) {
    struct Case {
        QByteArray input;
        int exit_code;
        const char* message;
    };
    const std::string too_long(60, 'a');
    const std::vector<Case> cases = {
        {"one\ntwo\n", cli::kExitUsage, "两次输入不一致"},
        {"Abc\nabc\n", cli::kExitUsage, "两次输入不一致"},
        {QByteArray::fromStdString(too_long + "\n" + too_long + "\n"), cli::kExitPassword,
         "最多 59 个字节"},
        {"笑😀\n笑😀\n", cli::kExitPassword, "“输入密码”中含有无法保存的字符"},
        {"only one line\n", cli::kExitUsage, "没有更多的密码行"},
    };
    for (const Case& c : cases) {
        const CliRun refused = cli({"init"}, c.input);
        EXPECT_EQ(refused.exit_code, c.exit_code) << c.message;
        EXPECT_TRUE(refused.err.contains(QString::fromUtf8(c.message)))
            << refused.err.toStdString();
        EXPECT_TRUE(entries().isEmpty()) << entries().join(' ').toStdString();
    }
    // 59 bytes is the longest key; 29 Chinese characters are 58 bytes.
    const std::string longest(59, 'b');
    ASSERT_EQ(cli({"init"}, QByteArray::fromStdString(longest + "\n" + longest + "\n")).exit_code,
              0);
    EXPECT_EQ(window_start(longest), StartOutcome::Unlocked);
}

TEST_F(CliSessionTest, CommandsWithoutAVaultCreateNothing) {
    const QString missing = vault_dir() + "/not/there";
    for (const char* name : {"dangling", "looped"}) ASSERT_TRUE(QDir().mkdir(file(name)));
    ASSERT_TRUE(QFile::link("gone.dat", file("dangling") + "/user.dat"));
    ASSERT_TRUE(QFile::link("user.dat", file("looped") + "/user.dat"));
    write_file(file("plain"), "x");
    const QStringList made = folder_entries(files_.path());
    for (const QStringList& command : {QStringList{"ls"},
                                       {"categories"},
                                       {"show", "1"},
                                       {"add", "--title", "t"},
                                       {"rm", "1"},
                                       {"mv", "1", "我的密码"},
                                       {"passwd"},
                                       {"sync", "x"},
                                       {"backup", file("b")},
                                       {"export-csv", file("c")},
                                       {"import", "db", "x"},
                                       {"init"}}) {
        // A folder that plainly has no vault is told to run init; any other reason to find
        // none is named instead, since init would not help there.
        const std::pair<QString, const char*> folders[] = {
            {vault_dir(), "密码库不存在，请先运行 korvane-cli init"},
            {missing, "密码库不存在，请先运行 korvane-cli init"},
            {file("dangling"), "不存在，密码库无法打开"},
            {file("looped"), "绕成了一个圈"},
            {file("plain"), "不是文件夹"},
        };
        for (const auto& [dir, says] : folders) {
            // init makes a vault where there plainly is none; only the others are refused.
            if (command == QStringList{"init"} && (dir == vault_dir() || dir == missing)) continue;
            FakeConsole console("master\nmaster\nmaster\n");
            const int code = cli::run(
                QStringList{"korvane-cli", "--vault-dir", dir, "--password-stdin"} + command,
                console);
            EXPECT_EQ(code, cli::kExitFile) << command.join(' ').toStdString();
            EXPECT_TRUE(QString::fromUtf8(console.err).contains(QString::fromUtf8(says)))
                << console.err.toStdString();
            if (dir != vault_dir() && dir != missing) {
                EXPECT_FALSE(console.err.contains("请先运行")) << console.err.toStdString();
            }
            EXPECT_EQ(console.lines_read, 0);
        }
    }
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(vault_dir() + "/not"));
    EXPECT_EQ(folder_entries(files_.path()), made);
    EXPECT_TRUE(QFileInfo(file("dangling") + "/user.dat").isSymLink());
}

TEST_F(CliSessionTest, AWrongPasswordLeavesTheVaultByteIdentical) {
    make_vault({}, {{"t", "a", "p", "r", kRootCategory}});
    const std::string sealed = read_file(vault_file("user.dat"));
    const CliRun wrong = cli({"ls"}, "Master\n");
    EXPECT_EQ(wrong.exit_code, cli::kExitPassword);
    EXPECT_TRUE(wrong.err.contains("密码错误"));
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_EQ(read_file(vault_file("user.dat")), sealed);
    EXPECT_EQ(entries(), QStringList{"user.dat"});

    EXPECT_EQ(cli({"ls"}, "").exit_code, cli::kExitUsage);  // no password at all
    FakeConsole no_terminal("");
    EXPECT_EQ(cli::run({"korvane-cli", "--vault-dir", vault_dir(), "ls"}, no_terminal),
              cli::kExitUsage);
    EXPECT_TRUE(no_terminal.err.contains("--password-stdin"));
    EXPECT_EQ(read_file(vault_file("user.dat")), sealed);
}

TEST_F(CliSessionTest, ChangesAreLockedAwayAndPasswdTakesEffect) {
    make_vault({}, {});
    ASSERT_EQ(cli({"add", "--title", "t"}).exit_code, 0);
    EXPECT_EQ(entries(), QStringList{"user.dat"});  // locked again, lock file gone

    EXPECT_EQ(cli({"passwd"}, "master\nneu\nnew\n").exit_code, cli::kExitUsage);
    EXPECT_EQ(window_start(kPaddedMaster), StartOutcome::Unlocked);
    ASSERT_EQ(cli({"passwd"}, "master\nneu\nneu\n").exit_code, 0);
    EXPECT_EQ(window_start(kPaddedMaster), StartOutcome::WrongPassword);
    const auto records = window_records(text::pad_master_password("neu"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].title, "t");
}

// An exception in a command's body (an allocation that failed) ends the command with a
// message, and the vault is locked again as after any other failure.
TEST_F(CliSessionTest, ACommandThatThrowsStillLocksTheVault) {
    make_vault({}, {{"kept", "a", "p", "r", kRootCategory}});
    CliRun run;
    {
        FailingStep failing("cli.command");
        run = cli({"add", "--title", "t"});
    }
    EXPECT_EQ(run.exit_code, cli::kExitFile);
    EXPECT_TRUE(run.err.contains("内存不足")) << run.err.toStdString();
    EXPECT_EQ(entries(), QStringList{"user.dat"});
    ASSERT_EQ(window_records().size(), 1u);
}

TEST_F(CliSessionTest, ALeftOverWorkingFileIsRecoveredBeforeTheCommand) {
    make_vault({}, {{"kept", "a", "p", "r", kRootCategory}});
    // An earlier version that ended while unlocked left only its plain working file.
    write_file(vault_file("user.tmp"),
               reference_mars_ecb(kPaddedMaster, read_file(vault_file("user.dat")), false));
    ASSERT_TRUE(QFile::remove(vault_file("user.dat")));

    const CliRun listed = cli({"ls"});
    EXPECT_EQ(listed.exit_code, 0) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.endsWith("\tkept\ta\tr\n"));
    EXPECT_EQ(entries(), QStringList{"user.dat"});
}

// Whatever stops a command (a signal, a seal that fails), its report and exit code say what was
// done: a writer stopped between rows rolls back and says nothing was added; a change that was
// made is reported as made, and a retry would not be needed.
struct Ending {
    const char* name;
    QStringList arguments;  // SOURCE and LEGACY stand for the files the test writes
    const char* input;
    int signal_from_ask;  // FakeConsole: run_with_vault asks first, then each row, then finish
    int exit_code;
    const char* message;
    std::size_t records;  // in the vault afterwards; 1 before

    friend void PrintTo(const Ending& e, std::ostream* out) { *out << e.name; }
};

class CliEndingTest : public CliSessionTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(CliEndingTest, TheReportSaysWhatHappened) {
    const Ending& e = GetParam();
    make_vault({}, {{"kept", "a", "p", "r", kRootCategory}});
    write_source_vault(file("other.dat"),
                       {raw({"s1", "a", "p", "", "X"}), raw({"s2", "a", "p", "", "X"}),
                        raw({"s3", "a", "p", "", "X"})},
                       {"X"});
    write_file(
        file("old.dat"),
        seal_legacy(1, text::pad_master_password("old"),
                    old_body({old_slot("l1", "a", "p", "r"), old_slot("l2", "a", "p", "r")})));
    QStringList arguments = e.arguments;
    arguments.replaceInStrings(QStringLiteral("SOURCE"), file("other.dat"));
    arguments.replaceInStrings(QStringLiteral("LEGACY"), file("old.dat"));
    CliRun run;
    run = cli(arguments, e.input, e.signal_from_ask);
    EXPECT_EQ(run.exit_code, e.exit_code) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(e.message))) << run.err.toStdString();
    EXPECT_EQ(entries(), QStringList{"user.dat"});
    EXPECT_EQ(window_records().size(), e.records);
}

const QStringList kImportDb{"import", "db", "SOURCE"};

INSTANTIATE_TEST_SUITE_P(
    Endings, CliEndingTest,
    ::testing::Values(
        Ending{"ImportDbStoppedBetweenRows", kImportDb, "master\n", 3, 128 + 15,
               "已中断，没有导入任何数据。", 1},
        Ending{"SyncStoppedBetweenRows",
               {"sync", "SOURCE"},
               "master\n",
               3,
               128 + 15,
               "已中断，没有同步任何数据。",
               1},
        Ending{"LegacyImportStoppedBetweenRows",
               {"import", "old", "LEGACY"},
               "master\nold\n",
               3,
               128 + 15,
               "已中断，没有导入任何记录。",
               1},
        // 1 + 3 records + 1 category: the signal comes after the last row, at the commit.
        Ending{"ImportDbCompletedBeforeTheSignal", kImportDb, "master\n", 6, cli::kExitSuccess,
               "命令已经完成，没有被中断", 4},
        Ending{"AddCompletedBeforeTheSignal",
               {"add", "--title", "t"},
               "master\n",
               2,
               cli::kExitSuccess,
               "命令已经完成，没有被中断",
               2},
        Ending{"SignalBeforeTheBody", kImportDb, "master\n", 1, 128 + 15,
               "已中断，密码库没有改动。", 1}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::test_support

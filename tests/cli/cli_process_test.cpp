// SPDX-License-Identifier: GPL-3.0-or-later
// The built korvane-cli as a child process: exit codes, the password on standard input, the
// single-instance lock in both directions, SIGTERM while the vault is open, and the locale's
// encoding of arguments, input and output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli_test_support.h"
#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/legacy_files.h"
#include "support/scripted_prompts.h"
#include "vault/text.h"
#include "vault/vault_session.h"

extern char** environ;

namespace korvane::test_support {
namespace {

struct RawRun {
    int exit_code = -1;
    std::string out;
    std::string err;
};

bool locale_exists(const char* name) {
    const locale_t probe = ::newlocale(LC_ALL_MASK, name, locale_t(0));
    if (probe == locale_t(0)) return false;
    ::freelocale(probe);
    return true;
}

class CliProcessTest : public CliTest {
protected:
    void SetUp() override { ensure_application(); }

    void start(QProcess& child, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral(KORVANE_CLI_PATH),
                    QStringList{"--vault-dir", vault_dir(), "--password-stdin"} + arguments);
        ASSERT_TRUE(child.waitForStarted());
    }
    int run(const QStringList& arguments, const QByteArray& input, QByteArray* out = nullptr) {
        QProcess child;
        start(child, arguments);
        child.write(input);
        child.closeWriteChannel();
        EXPECT_TRUE(child.waitForFinished(30000));
        if (out != nullptr) *out = child.readAllStandardOutput();
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    }
    // korvane-cli with arguments given as bytes, which QProcess would take as UTF-8 text, under
    // LC_ALL=locale. Standard input is input, or the file input_path when that is given;
    // standard output the descriptor out_fd when that is given.
    RawRun run_in_locale(const char* locale, const std::vector<std::string>& arguments,
                         const std::string& input, const char* input_path = nullptr,
                         int out_fd = -1) {
        const std::string in_path =
            input_path ? std::string(input_path) : file("stdin").toStdString();
        const std::string out_path = file("stdout").toStdString();
        const std::string err_path = file("stderr").toStdString();
        if (!input_path) write_file(QString::fromStdString(in_path), input);
        std::vector<std::string> argv_bytes{KORVANE_CLI_PATH, "--vault-dir",
                                            vault_dir().toStdString(), "--password-stdin"};
        argv_bytes.insert(argv_bytes.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : argv_bytes) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env_bytes{std::string("LC_ALL=") + locale};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry(*e);
            if (entry.rfind("LC_", 0) != 0 && entry.rfind("LANG", 0) != 0)
                env_bytes.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& e : env_bytes) envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
        if (out_fd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        // The test process ignores SIGPIPE, and an ignored signal stays ignored in a child; a
        // shell starts its commands with the default, which ends a process on a broken pipe.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        const int spawned =
            posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        RawRun run;
        if (spawned != 0) {
            ADD_FAILURE() << "korvane-cli did not start";
            return run;
        }
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 3000 && (done = ::waitpid(pid, &status, WNOHANG)) == 0; ++i) {
            QThread::msleep(10);
        }
        if (done == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "korvane-cli did not finish";
        }
        run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = read_file(QString::fromStdString(out_path));
        run.err = read_file(QString::fromStdString(err_path));
        return run;
    }
    // Waits until path exists, as a sign of where the child has got to.
    static bool appears(const QString& path) {
        for (int i = 0; i < 1000 && !QFileInfo::exists(path); ++i) QThread::msleep(10);
        return QFileInfo::exists(path);
    }
};

TEST_F(CliProcessTest, ExitCodesAndThePasswordOnStandardInput) {
    EXPECT_EQ(run({"--help"}, ""), cli::kExitSuccess);
    EXPECT_EQ(run({"bogus"}, ""), cli::kExitUsage);
    EXPECT_EQ(run({"ls"}, "master\n"), cli::kExitFile);
    EXPECT_TRUE(folder_entries(vault_dir()).isEmpty());

    EXPECT_EQ(run({"init"}, "master\nmaster\n"), cli::kExitSuccess);
    EXPECT_EQ(run({"add", "--title", "网站", "--account", "我"}, "master\n"), cli::kExitSuccess);
    QByteArray out;
    EXPECT_EQ(run({"ls"}, "master\n", &out), cli::kExitSuccess);
    EXPECT_EQ(out, "1\t网站\t我\t\n");  // the locale's encoding (UTF-8), stored as GBK
    EXPECT_EQ(window_records().at(0).title, gbk("网站"));

    const std::string sealed = read_file(vault_file("user.dat"));
    EXPECT_EQ(run({"ls"}, "wrong\n"), cli::kExitPassword);
    EXPECT_EQ(read_file(vault_file("user.dat")), sealed);

    // Standard output that takes nothing, a full disk or a reader that went away, fails the
    // command like any write; a broken pipe does not end the process before the vault is sealed.
    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "/dev/full" : "closed pipe");
        int fds[2] = {-1, -1};
        if (full) {
            fds[1] = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        } else {
            ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
            ::close(fds[0]);  // nobody will ever read
        }
        ASSERT_GE(fds[1], 0);
        const RawRun run = run_in_locale("C.UTF-8", {"ls"}, "master\n", nullptr, fds[1]);
        ::close(fds[1]);
        EXPECT_EQ(run.exit_code, cli::kExitFile);  // -1 when a signal ended it
        EXPECT_NE(run.err.find(full ? "磁盘空间不足" : "断开的管道"), std::string::npos) << run.err;
        EXPECT_EQ(folder_entries(vault_dir()), QStringList{"user.dat"});
    }
}

TEST_F(CliProcessTest, TheLockKeepsTheWindowAndTheCommandLineApart) {
    make_vault({}, {});
    {
        ScriptedPrompts prompts;
        prompts.master_password(kPaddedMaster);
        VaultSession window(vault_dir());
        ASSERT_EQ(window.start(prompts), StartOutcome::Unlocked);
        EXPECT_EQ(run({"ls"}, "master\n"), cli::kExitBusy);
    }
    // The child holds the lock while it waits for its password; the window must not open.
    QProcess child;
    start(child, {"ls"});
    ASSERT_TRUE(appears(vault_file("user.lock")));
    // It waits with the vault about to open: no core file may take it.
    const QString limits =
        QString::fromStdString(read_file(QStringLiteral("/proc/%1/limits").arg(child.processId())));
    EXPECT_TRUE(limits.contains(QRegularExpression("Max core file size +0 +0 ")));
    ScriptedPrompts unused;
    VaultSession window(vault_dir());
    EXPECT_EQ(window.start(unused), StartOutcome::Busy);
    child.write("master\n");
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), cli::kExitSuccess);
}

TEST_F(CliProcessTest, SigtermWhileUnlockedClosesTheVaultBeforeExiting) {
    make_vault({}, {{"kept", "a", "p", "r", kRootCategory}});
    write_file(file("old.dat"), seal_legacy(0, text::pad_master_password("old"),
                                            old_body({old_slot("x", "y", "z", "w")})));
    QProcess child;
    start(child, {"import", "old", file("old.dat")});
    child.write("master\n");  // the legacy password is never sent: the child waits unlocked
    ASSERT_TRUE(child.waitForBytesWritten());
    ASSERT_TRUE(appears(vault_file("user.lock")));
    child.terminate();
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), cli::exit_code_for_signal(SIGTERM));
    EXPECT_EQ(folder_entries(vault_dir()), QStringList{"user.dat"});
    EXPECT_EQ(window_records(), (std::vector<VaultRecord>{{"kept", "a", "p", "r", kRootCategory}}));
}

TEST_F(CliProcessTest, ClipWithoutADisplaySaysSoBeforeAskingAnything) {
    make_vault({}, {{"t", "a", "p", "r", kRootCategory}});
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        bare.remove(QLatin1String(name));
    }
    QProcess child;
    start(child, {"clip", "1"}, bare);
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), cli::kExitFile);
    EXPECT_TRUE(QString::fromUtf8(child.readAllStandardError()).contains("剪贴板"));
    EXPECT_EQ(folder_entries(vault_dir()), QStringList{"user.dat"});
}

// One run of the program in a locale, against a vault with a GBK record, a record whose title
// is not valid GBK (shown as U+FFFD, which GBK cannot show) and a GBK category.
struct LocaleCase {
    const char* name;
    const char* locale;
    std::vector<std::string> arguments;
    std::string input;
    int exit_code;
    std::optional<std::string> out;  // exactly, where given
    std::string err_part;            // bytes standard error holds
    std::optional<std::string> added_title = std::nullopt;
    std::optional<std::string> added_category = std::nullopt;
    const char* input_path = nullptr;
};

void PrintTo(const LocaleCase& c, std::ostream* os) { *os << c.name; }

class LocaleEncoding : public CliProcessTest, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(LocaleEncoding, ArgumentsInputAndOutputAreInTheLocalesEncoding) {
    const LocaleCase& c = GetParam();
    if (!locale_exists(c.locale)) GTEST_SKIP() << c.locale << " is not installed (scripts/deps.sh)";
    make_vault({gbk("工作")}, {{gbk("网站"), gbk("我"), "p", "", kRootCategory},
                               {"\xff\xfe", "", "", "", kRootCategory}});
    const RawRun run = run_in_locale(c.locale, c.arguments, c.input, c.input_path);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    if (c.out) {
        EXPECT_EQ(run.out, *c.out);
    }
    EXPECT_NE(run.err.find(c.err_part), std::string::npos) << run.err;
    const std::vector<VaultRecord> records = window_records();
    ASSERT_EQ(records.size(), c.added_title ? 3u : 2u);
    if (c.added_title) {
        EXPECT_EQ(records.back().title, *c.added_title);
        EXPECT_EQ(records.back().category, c.added_category.value_or(kRootCategory));
    }
}

const std::string kGbkListing = "1\t" + gbk("网站") + "\t" + gbk("我") + "\t\n2\t??\t\t\n";
const std::string kUtf8Listing = "1\t网站\t我\t\n2\t\uFFFD\uFFFD\t\t\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, LocaleEncoding,
    ::testing::Values(
        LocaleCase{
            "GbkListing", "zh_CN.GBK", {"ls"}, "master\n", cli::kExitSuccess, kGbkListing, ""},
        LocaleCase{
            "Utf8Listing", "C.UTF-8", {"ls"}, "master\n", cli::kExitSuccess, kUtf8Listing, ""},
        // The C locale's ASCII keeps the UTF-8 the program has always written.
        LocaleCase{"CLocaleListing", "C", {"ls"}, "master\n", cli::kExitSuccess, kUtf8Listing, ""},
        LocaleCase{
            "GbkMessage", "zh_CN.GBK", {"ls"}, "wrong\n", cli::kExitPassword, "", gbk("密码错误")},
        LocaleCase{"GbkFieldsAndCategory",
                   "zh_CN.GBK",
                   {"add", "--title", gbk("新站"), "--category", gbk("工作")},
                   "master\n",
                   cli::kExitSuccess,
                   "3\n",
                   gbk("已新增记录 3。"),
                   gbk("新站"),
                   gbk("工作")},
        LocaleCase{"InvalidGbkArgument",
                   "zh_CN.GBK",
                   {"add", "--title", "a\xff"},
                   "master\n",
                   cli::kExitUsage,
                   "",
                   gbk("--title 的值“a\\xFF”不是当前区域设置的编码（GBK）")},
        LocaleCase{"InvalidUtf8Argument",
                   "C.UTF-8",
                   {"add", "--title", "\xcd\xf8"},
                   "master\n",
                   cli::kExitUsage,
                   "",
                   "--title 的值“\\xCD\\xF8”不是当前区域设置的编码（UTF-8）"},
        LocaleCase{"EndlessPasswordLine",
                   "zh_CN.GBK",
                   {"ls"},
                   "",
                   cli::kExitUsage,
                   "",
                   gbk("密码行太长"),
                   std::nullopt,
                   std::nullopt,
                   "/dev/zero"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProcessTest, AMasterPasswordTypedUnderGbkMakesTheSameKeyAsUnderUtf8) {
    if (!locale_exists("zh_CN.GBK")) GTEST_SKIP() << "zh_CN.GBK is not installed (scripts/deps.sh)";
    ASSERT_EQ(run_in_locale("C.UTF-8", {"init"}, "密码\n密码\n").exit_code, cli::kExitSuccess);
    EXPECT_EQ(run_in_locale("zh_CN.GBK", {"ls"}, gbk("密码") + "\n").exit_code, cli::kExitSuccess);
    // The UTF-8 bytes read as GBK are other characters, so another key.
    EXPECT_EQ(run_in_locale("zh_CN.GBK", {"ls"}, "密码\n").exit_code, cli::kExitPassword);
    EXPECT_EQ(window_records(text::pad_master_password(gbk("密码"))).size(), 0u);
}

}  // namespace
}  // namespace korvane::test_support

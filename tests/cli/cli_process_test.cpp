// SPDX-License-Identifier: GPL-3.0-or-later
// The built korvane-cli as a child process: exit codes, the password on standard input, the
// single-instance lock in both directions and SIGTERM while the vault is open.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include "cli/exit_codes.h"
#include "cli_test_support.h"
#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/legacy_files.h"
#include "support/scripted_prompts.h"
#include "vault/text.h"
#include "vault/vault_session.h"

namespace korvane::testing {
namespace {

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

TEST_F(CliProcessTest, SigtermWhileUnlockedLocksTheVaultBeforeExiting) {
    make_vault({}, {{"kept", "a", "p", "r", kRootCategory}});
    write_file(file("old.dat"), seal_legacy(0, text::pad_master_password("old"),
                                            old_body({old_slot("x", "y", "z", "w")})));
    QProcess child;
    start(child, {"import", "old", file("old.dat")});
    child.write("master\n");  // the legacy password is never sent: the child waits unlocked
    ASSERT_TRUE(child.waitForBytesWritten());
    ASSERT_TRUE(appears(vault_file("user.tmp")));
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

}  // namespace
}  // namespace korvane::testing

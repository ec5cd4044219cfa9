// SPDX-License-Identifier: GPL-3.0-or-later
// clip on an offscreen QGuiApplication: the password reaches the clipboard through the program's
// put_text_on_clipboard, the vault is locked during the wait, and only our password is cleared.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include "cli/exit_codes.h"
#include "cli_test_support.h"
#include "vault/vault_session.h"

namespace korvane::test_support {
namespace {

class CliClipboardTest : public CliTest {
protected:
    void SetUp() override {
        ensure_application();
        make_vault({}, {{"t", "a", "clip me", "r", kRootCategory}});
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    // Runs clip, doing during_wait once the wait has begun.
    int clip(const std::function<void()>& during_wait) {
        QTimer::singleShot(300, during_wait);
        return cli({"clip", QString::number(oids_.at(0)), "--clear-after", "1"}).exit_code;
    }
};

TEST_F(CliClipboardTest, CopiesWhileTheVaultIsLockedThenClears) {
    QString seen;
    StartOutcome window = StartOutcome::Cancelled;
    const int code = clip([&] {
        seen = QGuiApplication::clipboard()->text();
        window = window_vault().try_unlock(kPaddedMaster);
    });
    EXPECT_EQ(code, cli::kExitSuccess);
    EXPECT_EQ(seen, QStringLiteral("clip me"));
    EXPECT_EQ(window, StartOutcome::Unlocked);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
}

TEST_F(CliClipboardTest, LeavesWhatTheUserCopiedSince) {
    EXPECT_EQ(clip([] { QGuiApplication::clipboard()->setText(QStringLiteral("mine")); }),
              cli::kExitSuccess);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("mine"));

    EXPECT_EQ(cli({"clip", "999"}).exit_code, cli::kExitUsage);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("mine"));
}

}  // namespace
}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// A copied password leaving the clipboard: the clearer on a clock the test moves, and the main
// window's copy command with its status-bar countdown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "gui/editor/record_editor_dialog.h"
#include "gui/records/record_list.h"
#include "gui/records/record_list_model.h"
#include "gui/settings/settings_store.h"
#include "gui/window/main_window.h"
#include "gui/window/running_app.h"
#include "platform/clipboard_clearer.h"
#include "support/session_vault.h"
#include "vault/vault_statements.h"

namespace korvane::test_support {
namespace {

QClipboard& clipboard() { return *QGuiApplication::clipboard(); }

struct ClearerRow {
    const char* name;
    int delay_seconds;
    qint64 advance_ms;
    bool user_copies_after_put;
    bool program_exits;
    QString expected_clipboard;  // empty: cleared
};

void PrintTo(const ClearerRow& row, std::ostream* out) { *out << row.name; }

class ClearerTest : public ::testing::TestWithParam<ClearerRow> {};

TEST_P(ClearerTest, ClearsOnlyItsOwnTextAtTheDeadlineOrAtExit) {
    const ClearerRow& row = GetParam();
    qint64 now = 1'000'000;
    ClipboardClearer clearer([&now] { return now; });
    clearer.set_delay_seconds(row.delay_seconds);
    clipboard().setText(QStringLiteral("before"));
    clearer.put(QStringLiteral("s3cret"));
    ASSERT_EQ(clipboard().text(), QStringLiteral("s3cret"));
    if (row.user_copies_after_put) clipboard().setText(QStringLiteral("mine"));
    now += row.advance_ms;
    clearer.tick();
    if (row.program_exits) clearer.clear_now();
    EXPECT_EQ(clipboard().text(), row.expected_clipboard);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClearerTest,
    ::testing::Values(ClearerRow{"DeadlineReached", 10, 10'000, false, false, QString()},
                      ClearerRow{"DeadlineNotReached", 10, 9'999, false, false, "s3cret"},
                      ClearerRow{"UserReplacedTheText", 10, 10'000, true, false, "mine"},
                      ClearerRow{"DelayZeroNeverClears", 0, 1'000'000'000, false, true, "s3cret"},
                      ClearerRow{"ExitClears", 10, 3'000, false, true, QString()},
                      ClearerRow{"ExitLeavesTheUsersText", 10, 3'000, true, true, "mine"}),
    [](const ::testing::TestParamInfo<ClearerRow>& info) { return info.param.name; });

QString countdown_text(int seconds) {
    return QStringLiteral("密码已复制到剪贴板，%1 秒后清除").arg(seconds);
}

class WindowClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = vault_.unlock(kAppPassword);
        ASSERT_TRUE(session_);
        ASSERT_TRUE(statements::insert_record(session_->db(),
                                              {"t", "a", gbk(QStringLiteral("密码七")), "", ""})
                        .ok());
        window_ = std::make_unique<MainWindow>(*session_, settings_, nullptr, nullptr,
                                               [this] { return now_; });
        window_->initial_update();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        RecordList& list = window_->record_list();
        window_->set_active_pane(&list);
        list.selection_model().setCurrentIndex(list.model().index(0, 0),
                                               QItemSelectionModel::ClearAndSelect);
        QApplication::setActiveWindow(window_.get());
        list.current_view().setFocus();
    }

    SessionVault vault_{kAppPassword};
    std::unique_ptr<VaultSession> session_;
    SettingsStore settings_;
    std::unique_ptr<MainWindow> window_;
    qint64 now_ = 5'000;
};

TEST_F(WindowClipboardTest, CtrlCCountsDownInTheStatusBarThenClears) {
    clipboard().setText(QStringLiteral("before"));
    QTest::keyClick(&window_->record_list().current_view(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(clipboard().text(), QStringLiteral("密码七"));

    QStringList seen{window_->status_text()};
    for (int second = 1; second <= 10; ++second) {
        now_ += 1'000;
        window_->clipboard_clearer().tick();
        seen << window_->status_text();
    }
    QStringList expected;
    for (int left = 10; left >= 1; --left) expected << countdown_text(left);
    expected << QStringLiteral("就绪");
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(clipboard().text().isEmpty());
}

TEST(RecordEditorClipboardTest, CopyButtonPasswordLeavesAtTheDeadline) {
    qint64 now = 0;
    ClipboardClearer clearer([&now] { return now; });
    clearer.set_delay_seconds(10);
    RecordEditorDialog dialog;
    dialog.set_clipboard_clearer(clearer);
    dialog.set_password("pw-editor");
    dialog.findChild<QPushButton*>(QStringLiteral("copy_button"))->click();
    ASSERT_EQ(clipboard().text(), QStringLiteral("pw-editor"));
    now += 10'000;
    clearer.tick();
    EXPECT_TRUE(clipboard().text().isEmpty());
}

class AppExitClipboardTest : public RunningAppTest {};

TEST_F(AppExitClipboardTest, ShutDownTakesTheCopiedPasswordOff) {
    ASSERT_TRUE(statements::insert_record(db(), {"t", "a", "pw-exit", "", ""}).ok());
    tree().reload();
    list().selection_model().setCurrentIndex(list().model().index(0, 0),
                                             QItemSelectionModel::ClearAndSelect);
    list().on_copy_password();
    ASSERT_EQ(clipboard().text(), QStringLiteral("pw-exit"));
    app_->shut_down();
    EXPECT_TRUE(clipboard().text().isEmpty());
}

}  // namespace
}  // namespace korvane::test_support

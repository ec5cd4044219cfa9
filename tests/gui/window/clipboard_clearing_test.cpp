// SPDX-License-Identifier: GPL-3.0-or-later
// A copied password leaving the clipboard: the clearer on a clock the test moves, the stored
// delay's and lock triggers' ranges, the options dialog that sets them, and the main window's
// copy command with its status-bar countdown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "gui/editor/record_editor_dialog.h"
#include "gui/records/record_list.h"
#include "gui/records/record_list_model.h"
#include "gui/settings/clipboard_settings.h"
#include "gui/settings/lock_settings.h"
#include "gui/settings/options_dialog.h"
#include "gui/settings/style_settings.h"
#include "gui/window/main_window.h"
#include "gui/window/running_app.h"
#include "platform/clipboard_clearer.h"
#include "resources/resource_ids.h"
#include "support/modal_driver.h"
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

struct SettingRow {
    const char* name;
    QVariant stored;  // invalid: the key is missing
    int expected;
};

void PrintTo(const SettingRow& row, std::ostream* out) { *out << row.name; }

QSettings settings_store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(StyleSettings::kOrganisation),
                     QString::fromLatin1(StyleSettings::kApplication));
}

// Puts stored under key, or removes the key when stored is invalid.
void store_raw(const char* key, const QVariant& stored) {
    QSettings settings = settings_store();
    settings.remove(QString::fromLatin1(key));
    if (stored.isValid()) settings.setValue(QString::fromLatin1(key), stored);
    settings.sync();
}

// The window tests read the same store, so every table leaves its key as it found it: missing.
template <typename Row>
class StoredSettingTest : public ::testing::TestWithParam<Row> {
protected:
    void TearDown() override {
        for (const char* key : {ClipboardSettings::kKey, LockSettings::kIdleMinutesKey,
                                LockSettings::kOnScreenLockKey}) {
            store_raw(key, QVariant());
        }
    }
};

class ClipboardSettingTest : public StoredSettingTest<SettingRow> {};

TEST_P(ClipboardSettingTest, ReadsTheStoredDelayOrTheDefault) {
    const SettingRow& row = GetParam();
    store_raw(ClipboardSettings::kKey, row.stored);
    EXPECT_EQ(ClipboardSettings::read(), row.expected);
    if (row.expected == row.stored.toInt()) {
        ClipboardSettings::write(row.expected);
        EXPECT_EQ(ClipboardSettings::read(), row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClipboardSettingTest,
    ::testing::Values(SettingRow{"Missing", QVariant(), 10}, SettingRow{"Zero", 0, 0},
                      SettingRow{"Four", 4, 10}, SettingRow{"Five", 5, 5},
                      SettingRow{"ThreeHundred", 300, 300}, SettingRow{"ThreeHundredOne", 301, 10},
                      SettingRow{"Garbage", QStringLiteral("abc"), 10}),
    [](const ::testing::TestParamInfo<SettingRow>& info) { return info.param.name; });

class IdleLockSettingTest : public StoredSettingTest<SettingRow> {};

TEST_P(IdleLockSettingTest, ReadsTheStoredMinutesOrOff) {
    const SettingRow& row = GetParam();
    store_raw(LockSettings::kIdleMinutesKey, row.stored);
    EXPECT_EQ(LockSettings::read_idle_minutes(), row.expected);
    if (row.expected == row.stored.toInt()) {
        LockSettings::write_idle_minutes(row.expected);
        EXPECT_EQ(LockSettings::read_idle_minutes(), row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IdleLockSettingTest,
    ::testing::Values(SettingRow{"Missing", QVariant(), 0}, SettingRow{"Zero", 0, 0},
                      SettingRow{"One", 1, 1}, SettingRow{"ADay", 1440, 1440},
                      SettingRow{"OverADay", 1441, 0}, SettingRow{"Negative", -1, 0},
                      SettingRow{"Garbage", QStringLiteral("abc"), 0},
                      SettingRow{"StoredAsText", QStringLiteral("30"), 30}),
    [](const ::testing::TestParamInfo<SettingRow>& info) { return info.param.name; });

struct SwitchRow {
    const char* name;
    QVariant stored;  // invalid: the key is missing
    bool expected;
};

void PrintTo(const SwitchRow& row, std::ostream* out) { *out << row.name; }

class ScreenLockSettingTest : public StoredSettingTest<SwitchRow> {};

TEST_P(ScreenLockSettingTest, ReadsTheStoredSwitchOrOn) {
    const SwitchRow& row = GetParam();
    store_raw(LockSettings::kOnScreenLockKey, row.stored);
    EXPECT_EQ(LockSettings::read_on_screen_lock(), row.expected);
    LockSettings::write_on_screen_lock(!row.expected);
    EXPECT_EQ(LockSettings::read_on_screen_lock(), !row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScreenLockSettingTest,
                         ::testing::Values(SwitchRow{"Missing", QVariant(), true},
                                           SwitchRow{"True", true, true},
                                           SwitchRow{"False", false, false},
                                           SwitchRow{"ZeroAsText", QStringLiteral("0"), false},
                                           SwitchRow{"Garbage", QStringLiteral("maybe"), true}),
                         [](const ::testing::TestParamInfo<SwitchRow>& info) {
                             return info.param.name;
                         });

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
        window_ =
            std::make_unique<MainWindow>(*session_, nullptr, nullptr, [this] { return now_; });
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

class OptionsCommandTest : public RunningAppTest {
protected:
    void TearDown() override {
        for (const char* key : {ClipboardSettings::kKey, LockSettings::kIdleMinutesKey,
                                LockSettings::kOnScreenLockKey}) {
            store_raw(key, QVariant());
        }
        RunningAppTest::TearDown();
    }

    // Opens 选项… from the window and lets change act on the dialog before pressing button.
    void run_options(const std::function<void(OptionsDialog*)>& change, const char* button) {
        ModalDriver driver;
        driver.then<OptionsDialog>([&](OptionsDialog* dialog) {
            change(dialog);
            child<QPushButton>(dialog, button)->click();
        });
        router().dispatch(res::kCmdOptions);
        EXPECT_EQ(driver.pending(), 0u);
    }
};

TEST_F(OptionsCommandTest, OkStoresTheChoicesAndTheWindowUsesThemAtOnce) {
    store_raw(ClipboardSettings::kKey, 45);
    window_->apply_settings();
    run_options(
        [](OptionsDialog* dialog) {
            // What is stored is what the dialog opens with; off delays keep their box disabled.
            EXPECT_TRUE(child<QCheckBox>(dialog, "clipboard_check")->isChecked());
            EXPECT_EQ(child<QSpinBox>(dialog, "clipboard_spin")->value(), 45);
            EXPECT_FALSE(child<QCheckBox>(dialog, "idle_check")->isChecked());
            EXPECT_FALSE(child<QSpinBox>(dialog, "idle_spin")->isEnabled());
            EXPECT_TRUE(child<QCheckBox>(dialog, "screen_lock_check")->isChecked());
            child<QSpinBox>(dialog, "clipboard_spin")->setValue(120);
            child<QCheckBox>(dialog, "idle_check")->setChecked(true);
            child<QSpinBox>(dialog, "idle_spin")->setValue(30);
            child<QCheckBox>(dialog, "screen_lock_check")->setChecked(false);
        },
        "ok_button");
    EXPECT_EQ(ClipboardSettings::read(), 120);
    EXPECT_EQ(LockSettings::read_idle_minutes(), 30);
    EXPECT_FALSE(LockSettings::read_on_screen_lock());
    EXPECT_EQ(window_->clipboard_clearer().delay_seconds(), 120);

    run_options(
        [](OptionsDialog* dialog) {
            child<QCheckBox>(dialog, "clipboard_check")->setChecked(false);
            child<QCheckBox>(dialog, "idle_check")->setChecked(false);
        },
        "ok_button");
    EXPECT_EQ(ClipboardSettings::read(), ClipboardSettings::kNever);
    EXPECT_EQ(LockSettings::read_idle_minutes(), LockSettings::kIdleOff);
    EXPECT_EQ(window_->clipboard_clearer().delay_seconds(), 0);
}

TEST_F(OptionsCommandTest, CancelStoresNothingAndKeepsTheDelay) {
    const int delay_before = window_->clipboard_clearer().delay_seconds();
    run_options(
        [](OptionsDialog* dialog) {
            child<QCheckBox>(dialog, "clipboard_check")->setChecked(false);
            child<QCheckBox>(dialog, "idle_check")->setChecked(true);
            child<QCheckBox>(dialog, "screen_lock_check")->setChecked(false);
        },
        "cancel_button");
    QSettings settings = settings_store();
    for (const char* key :
         {ClipboardSettings::kKey, LockSettings::kIdleMinutesKey, LockSettings::kOnScreenLockKey}) {
        EXPECT_FALSE(settings.contains(QString::fromLatin1(key))) << key;
    }
    EXPECT_EQ(window_->clipboard_clearer().delay_seconds(), delay_before);
}

TEST(OptionsDialogTest, SpinBoxesHoldOnlyDelaysTheSettingsKeep) {
    OptionsDialog dialog;
    auto* clipboard_spin = child<QSpinBox>(&dialog, "clipboard_spin");
    EXPECT_EQ(clipboard_spin->minimum(), 5);
    EXPECT_EQ(clipboard_spin->maximum(), 300);
    auto* idle_spin = child<QSpinBox>(&dialog, "idle_spin");
    EXPECT_EQ(idle_spin->minimum(), 1);
    EXPECT_EQ(idle_spin->maximum(), 1440);
    // 0 is each delay's "off", which only its check box may choose.
    child<QCheckBox>(&dialog, "clipboard_check")->setChecked(true);
    child<QCheckBox>(&dialog, "idle_check")->setChecked(true);
    clipboard_spin->setValue(0);
    idle_spin->setValue(0);
    EXPECT_EQ(dialog.clipboard_seconds(), 5);
    EXPECT_EQ(dialog.idle_minutes(), 1);
}

}  // namespace
}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// Locking the vault while the program runs: the lock path and what it leaves, the unlock and its
// refusals, dialogs cancelled by a lock, the idle lock and the desktop's screen lock.
#include "gui/lock/vault_locker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardPaths>
#include <QTest>
#include <functional>
#include <memory>

#include "gui/float/float_window.h"
#include "gui/lock/unlock_panel.h"
#include "gui/records/record_list_model.h"
#include "gui/records/search_box.h"
#include "gui/settings/settings_store.h"
#include "gui/window/running_app.h"
#include "platform/screen_lock_watcher.h"
#include "resources/resource_ids.h"
#include "support/failing_step.h"
#include "support/file_helpers.h"
#include "support/modal_driver.h"
#include "support/reference_cipher.h"
#include "support/session_vault.h"
#include "vault/vault_statements.h"

namespace korvane::test_support {
namespace {

const QString kTypedPassword = QStringLiteral("secret");  // the login pads it to kAppPassword
constexpr int kWaitMs = 5000;
constexpr qint64 kMinute = 60'000;

// Everything a user could lose: the records, the categories and the master password.
constexpr char kVaultState[] =
    "select (select group_concat(bt || '/' || type, ',') from userpass) || '#' || "
    "(select group_concat(leibie, ',') from type) || '#' || (select pass from userad)";

void forget_lock_settings() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(SettingsStore::kOrganisation),
                    QString::fromLatin1(SettingsStore::kApplication));
    for (Setting setting : {Setting::IdleLockMinutes, Setting::LockOnScreenLock}) {
        store.remove(QString::fromLatin1(SettingsStore::row(setting).key));
    }
}

// A second session on the folder, as korvane-cli would open it; null unless it unlocked.
std::unique_ptr<VaultSession> open_again(const QString& dir) {
    return SessionVault::in_folder(dir, kAppPassword).unlock(kAppPassword);
}

class VaultLockerTest : public ::testing::Test {
protected:
    void SetUp() override {
        forget_lock_settings();
        session_ = SessionVault::in_folder(dir_.path(), kAppPassword).unlock(kAppPassword);
        ASSERT_TRUE(session_);
        ASSERT_TRUE(statements::insert_category(session_->db(), "cat").ok());
        ASSERT_TRUE(statements::insert_record(session_->db(), {"one", "a", "pw1", "", ""}).ok());
        ASSERT_TRUE(statements::insert_record(session_->db(), {"two", "a", "pw2", "", "cat"}).ok());
        window_ = std::make_unique<MainWindow>(*session_, settings_, nullptr, nullptr,
                                               [this] { return now_; });
        fills_ = std::make_unique<QSignalSpy>(&window_->record_list().model(),
                                              &QAbstractItemModel::modelReset);
        window_->initial_update();
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        session_->lock();
        forget_lock_settings();
    }

    VaultLocker& locker() { return window_->vault_locker(); }
    CommandRouter& router() { return window_->router(); }
    QString path(const char* name) const { return dir_.path() + QLatin1Char('/') + name; }
    bool wait_until_locked() {
        return QTest::qWaitFor([this] { return locker().locked(); }, kWaitMs);
    }
    // Types into the panel and clicks 解锁; the message that brings, if any.
    SeenMessage unlock_with(const QString& password) {
        child<QLineEdit>(&locker().panel(), "unlock_password_edit")->setText(password);
        return answer_message_box(
            [&] { child<QPushButton>(&locker().panel(), "unlock_button")->click(); });
    }
    // Read from user.dat with an independent cipher under the original password.
    std::string sealed_state() const {
        return query_sqlite_bytes(
            reference_mars_ecb(kAppPassword, read_file(path("user.dat")), false), kVaultState);
    }

    QTemporaryDir dir_;
    std::unique_ptr<VaultSession> session_;
    SettingsStore settings_;
    std::unique_ptr<MainWindow> window_;
    qint64 now_ = 1'000'000;
    // Every fill of the list resets its model once.
    std::unique_ptr<QSignalSpy> fills_;
};

// Each fill reads the whole view from the database, so the start and the unlock fill once.
TEST_F(VaultLockerTest, StartAndUnlockFillTheListOnce) {
    EXPECT_EQ(fills_->count(), 1);
    ASSERT_TRUE(window_->category_tree().select_category("cat"));
    router().dispatch(res::kCmdLock);
    ASSERT_TRUE(locker().locked());
    fills_->clear();
    unlock_with(kTypedPassword);
    ASSERT_FALSE(locker().locked());
    EXPECT_EQ(fills_->count(), 1);
    EXPECT_EQ(window_->category_tree().selected_category(), "cat");
    EXPECT_EQ(window_->record_list().row_count(), 1);
}

TEST_F(VaultLockerTest, LockSealsLetsGoOfTheFolderAndForgetsWhatWasShown) {
    window_->clipboard_clearer().set_delay_seconds(10);
    window_->clipboard_clearer().put(QStringLiteral("pw-copied"));
    // A search typed before the lock says what the user was looking for.
    window_->search_box().setText(QStringLiteral("two"));
    router().dispatch(res::kCmdLock);

    ASSERT_TRUE(locker().locked());
    EXPECT_FALSE(QFileInfo::exists(path("user.tmp")));
    EXPECT_EQ(sealed_state(), "one/,two/cat#cat#" + kAppPassword);
    EXPECT_NE(open_again(dir_.path()), nullptr);
    EXPECT_EQ(window_->record_list().row_count(), 0);
    EXPECT_EQ(window_->category_tree().topLevelItemCount(), 0);
    EXPECT_FALSE(window_->float_window()->isVisible());
    // Nor does it come back with the main window restored from a minimise.
    window_->showMinimized();
    window_->showNormal();
    EXPECT_FALSE(window_->float_window()->isVisible());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    EXPECT_EQ(window_->centralWidget(), &locker().panel());
    EXPECT_FALSE(window_->search_box().isEnabled());
    EXPECT_TRUE(window_->search_box().text().isEmpty());
    EXPECT_FALSE(window_->search_box().isUndoAvailable());
    for (int id : {res::kCmdNew, res::kCmdCopy, res::kCmdDelete, res::kCmdChangePassword,
                   res::kCmdExportCsv, res::kCmdToggleFloat, res::kCmdLock}) {
        EXPECT_FALSE(router().state(id).enabled) << id;
    }
    EXPECT_TRUE(router().state(res::kCmdExit).enabled);
}

TEST_F(VaultLockerTest, UnlockRefusesAWrongPasswordAndABusyVaultThenReadsTheVaultAfresh) {
    ASSERT_TRUE(window_->category_tree().select_category("cat"));
    router().dispatch(res::kCmdViewDetails);
    router().dispatch(res::kCmdLock);

    EXPECT_EQ(unlock_with(QStringLiteral("wrong")).text, QStringLiteral("密码错误"));
    EXPECT_TRUE(locker().locked());
    {
        std::unique_ptr<VaultSession> other = open_again(dir_.path());
        ASSERT_NE(other, nullptr);
        ASSERT_TRUE(statements::insert_record(other->db(), {"three", "b", "pw3", "", "cat"}).ok());
        EXPECT_EQ(unlock_with(kTypedPassword).text,
                  QStringLiteral("程序已经在运行，同一个密码库不能同时打开两次。"));
        EXPECT_TRUE(locker().locked());
    }

    const SeenMessage seen = unlock_with(kTypedPassword);
    EXPECT_FALSE(seen.shown) << seen.text.toStdString();
    ASSERT_FALSE(locker().locked());
    EXPECT_EQ(window_->centralWidget(), &window_->splitter());
    EXPECT_EQ(window_->category_tree().selected_category(), "cat");
    EXPECT_EQ(window_->record_list().row_count(), 2);
    EXPECT_EQ(window_->record_list().view_mode(), RecordList::ViewMode::Details);
    EXPECT_TRUE(window_->float_window()->isVisible());
    EXPECT_TRUE(router().state(res::kCmdNew).enabled);
    EXPECT_TRUE(window_->findChild<SearchBox*>()->isEnabled());
}

// Through the application, whose exit follows a lock.
class LockedAppTest : public RunningAppTest {};

TEST_F(LockedAppTest, ALockLeavesOnlyTheEncipheredVaultWithEveryRecord) {
    ASSERT_TRUE(statements::insert_record(db(), {"one", "a", "pw1", "", ""}).ok());
    router().dispatch(res::kCmdLock);
    ASSERT_TRUE(window_->vault_locker().locked());
    // No journal, no working file, no lock of the folder: user.dat alone, whole.
    EXPECT_EQ(test_support::folder_entries(dir_.path()), QStringList{"user.dat"});
    EXPECT_EQ(query_vault_file(dir_.filePath("user.dat"), test_support::kAppPassword,
                               "select group_concat(bt, ',') from userpass"),
              "one");
}

// A dialog open when the lock comes: closed as Cancel, and nothing it held is written.
struct OpenDialogRow {
    const char* name;
    std::function<void(MainWindow&)> open;
    std::function<void(QWidget&)> fill;
};

void PrintTo(const OpenDialogRow& row, std::ostream* out) { *out << row.name; }

class LockWithDialogTest : public VaultLockerTest,
                           public ::testing::WithParamInterface<OpenDialogRow> {};

TEST_P(LockWithDialogTest, ClosesItAsCancelAndWritesNothing) {
    const OpenDialogRow& row = GetParam();
    router().dispatch(res::kCmdLock);
    const std::string before = sealed_state();
    unlock_with(kTypedPassword);
    ASSERT_FALSE(locker().locked());
    bool opened = false;
    ModalDriver driver(ModalDriver::Unexpected::Ignore);
    driver.then([&](QWidget& modal) {
        opened = true;
        row.fill(modal);
        router().dispatch(res::kCmdLock);
    });
    row.open(*window_);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(wait_until_locked());
    EXPECT_EQ(sealed_state(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LockWithDialogTest,
    ::testing::Values(
        OpenDialogRow{"RecordEditor",
                      [](MainWindow& w) {
                          w.set_active_pane(&w.record_list());
                          w.router().dispatch(res::kCmdNew);
                      },
                      [](QWidget& modal) {
                          child<QLineEdit>(&modal, "title_edit")->setText(QStringLiteral("gone"));
                      }},
        OpenDialogRow{"DeleteCategoryQuestion",
                      [](MainWindow& w) {
                          w.category_tree().select_category("cat");
                          w.set_active_pane(&w.category_tree());
                          w.router().dispatch(res::kCmdDelete);
                      },
                      [](QWidget&) {}}),
    [](const ::testing::TestParamInfo<OpenDialogRow>& info) { return info.param.name; });

struct IdleRow {
    const char* name;
    int minutes;  // 0: the setting is not stored
    qint64 quiet_ms;
    bool input_then_quiet_again;
    bool locks;
};

void PrintTo(const IdleRow& row, std::ostream* out) { *out << row.name; }

class IdleLockTest : public VaultLockerTest, public ::testing::WithParamInterface<IdleRow> {};

TEST_P(IdleLockTest, LocksAfterTheSetMinutesWithoutInput) {
    const IdleRow& row = GetParam();
    if (row.minutes > 0) settings_.set_idle_lock_minutes(row.minutes);
    window_->apply_lock_settings();
    now_ += row.quiet_ms;
    locker().idle_watcher().tick();
    if (row.input_then_quiet_again) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
        QApplication::sendEvent(&window_->record_list().current_view(), &key);
        now_ += row.quiet_ms;
        locker().idle_watcher().tick();
    }
    EXPECT_EQ(locker().locked(), row.locks);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IdleLockTest,
    ::testing::Values(IdleRow{"OffByDefault", 0, 100'000 * kMinute, false, false},
                      IdleRow{"LocksAtTheMinute", 5, 5 * kMinute, false, true},
                      IdleRow{"NotBefore", 5, 5 * kMinute - 1, false, false},
                      IdleRow{"InputPostpones", 5, 4 * kMinute, true, false}),
    [](const ::testing::TestParamInfo<IdleRow>& info) { return info.param.name; });

// The signals as the real services send them.
struct BusSignal {
    const char* path;
    const char* interface;
    const char* member;
};
const BusSignal kScreenSaver{"/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
                             "ActiveChanged"};
const BusSignal kGnome{"/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged"};
const BusSignal kSessionLock{"/org/freedesktop/login1/session/_32",
                             "org.freedesktop.login1.Session", "Lock"};
const BusSignal kSleep{"/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                       "PrepareForSleep"};

struct BusSignalRow {
    const char* name;
    BusSignal signal;
    QVariantList arguments;
    bool lock_on_screen_lock;
    bool locks;
};

void PrintTo(const BusSignalRow& row, std::ostream* out) { *out << row.name; }

// A private dbus-daemon stands in for both the session and the system bus.
class ScreenLockTest : public VaultLockerTest, public ::testing::WithParamInterface<BusSignalRow> {
protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
        VaultLockerTest::SetUp();
        bus_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
        ASSERT_TRUE(bus_.waitForReadyRead(kWaitMs));
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
    }
    void TearDown() override {
        if (bus_.state() == QProcess::NotRunning) return;
        VaultLockerTest::TearDown();
        QDBusConnection::disconnectFromBus(QStringLiteral("lock-test-watched"));
        QDBusConnection::disconnectFromBus(QStringLiteral("lock-test-sender"));
        bus_.kill();
        bus_.waitForFinished(kWaitMs);
    }

    QProcess bus_;
    QString address_;
};

TEST_P(ScreenLockTest, LocksOnTheDesktopsSignal) {
    const BusSignalRow& row = GetParam();
    settings_.set_lock_on_screen_lock(row.lock_on_screen_lock);
    window_->apply_lock_settings();
    QDBusConnection watched =
        QDBusConnection::connectToBus(address_, QStringLiteral("lock-test-watched"));
    QDBusConnection sender =
        QDBusConnection::connectToBus(address_, QStringLiteral("lock-test-sender"));
    ASSERT_TRUE(watched.isConnected() && sender.isConnected()) << address_.toStdString();
    locker().watch_buses(watched, watched);
    // No logind on this bus: the watcher falls back to the Lock of any session.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return locker().screen_lock_watcher().watching_session_lock(); }, kWaitMs));

    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(row.signal.path),
                                                     QString::fromLatin1(row.signal.interface),
                                                     QString::fromLatin1(row.signal.member));
    signal.setArguments(row.arguments);
    ASSERT_TRUE(sender.send(signal));
    // A round trip on the watched connection: the bus delivers the signal before the answer.
    watched.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    if (row.locks) {
        EXPECT_TRUE(wait_until_locked());
    } else {
        QTest::qWait(100);
        EXPECT_FALSE(locker().locked());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScreenLockTest,
    ::testing::Values(BusSignalRow{"FreedesktopScreenSaver", kScreenSaver, {true}, true, true},
                      BusSignalRow{"ScreenSaverEnds", kScreenSaver, {false}, true, false},
                      BusSignalRow{"GnomeScreenSaver", kGnome, {true}, true, true},
                      BusSignalRow{"LogindSessionLock", kSessionLock, {}, true, true},
                      BusSignalRow{"PrepareForSleep", kSleep, {true}, true, true},
                      BusSignalRow{"WakingUp", kSleep, {false}, true, false},
                      BusSignalRow{"SettingOff", kScreenSaver, {true}, false, false}),
    [](const ::testing::TestParamInfo<BusSignalRow>& info) { return info.param.name; });

}  // namespace
}  // namespace korvane::test_support

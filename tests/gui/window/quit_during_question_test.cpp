// SPDX-License-Identifier: GPL-3.0-or-later
// The program ending while it asks something: a termination signal cancels the open question and
// every later one, and an exception out of a handler still ends with the vault sealed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <functional>
#include <new>
#include <stdexcept>

#include "gui/categories/category_tree.h"
#include "gui/commands/command_router.h"
#include "gui/float/float_window.h"
#include "gui/records/record_list.h"
#include "gui/records/record_list_model.h"
#include "gui/window/korvane_application.h"
#include "gui/window/main_window.h"
#include "gui/window/running_app.h"
#include "resources/resource_ids.h"
#include "support/file_helpers.h"
#include "support/modal_driver.h"
#include "support/reference_cipher.h"
#include "support/session_vault.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

using test_support::application;
using test_support::child;
using test_support::ModalDriver;
using Step = ModalDriver::Step;
const std::string& kPassword = test_support::kAppPassword;

// Everything a user could lose: the records, the categories and the master password.
constexpr char kVaultState[] =
    "select (select group_concat(bt || '/' || type, ',') from userpass) || '#' || "
    "(select group_concat(leibie, ',') from type) || '#' || (select pass from userad)";

void make_vault(const QString& folder) {
    auto session = test_support::SessionVault::in_folder(folder, kPassword).unlock(kPassword);
    ASSERT_TRUE(session);
    for (const char* title : {"one", "two", "three"}) {
        ASSERT_TRUE(statements::insert_record(session->db(), {title, "acc", "pw", "", ""}).ok());
    }
    ASSERT_TRUE(statements::insert_category(session->db(), "cat").ok());
}

// Read with an independent cipher, so a vault left deciphered or sealed under another password
// shows as an error here.
std::string sealed_state(const QString& folder) {
    return test_support::query_sqlite_bytes(
        test_support::reference_mars_ecb(kPassword, test_support::read_file(folder + "/user.dat"),
                                         false),
        kVaultState);
}

// Titles of every dialog and message box shown, counting each run of one dialog object: a run
// that returns at once still shows its window.
class ShownDialogs : public QObject {
public:
    ShownDialogs() { QCoreApplication::instance()->installEventFilter(this); }
    ~ShownDialogs() override { QCoreApplication::instance()->removeEventFilter(this); }
    const QStringList& titles() const { return titles_; }
    const QString& last_class() const { return last_class_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog != nullptr && dialog->isWindow()) {
            titles_ << dialog->windowTitle();
            last_class_ = QString::fromLatin1(dialog->metaObject()->className());
        }
        return false;
    }

private:
    QStringList titles_;
    QString last_class_;
};

Step log_in(const char* password = "secretyyyyyyyyyyy") {
    return [password](QWidget& modal) {
        child<QLineEdit>(&modal, "password_edit")->setText(QString::fromLatin1(password));
        child<QPushButton>(&modal, "ok_button")->click();
    };
}

Step click(const char* button) {
    return [button](QWidget& modal) { child<QPushButton>(&modal, button)->click(); };
}

// For a button that opens a window of its own: clicked once the driver's poll has returned,
// since the poll's timer does not fire again while its handler runs.
Step click_later(const char* button) {
    return [button](QWidget& modal) {
        QTimer::singleShot(0, &modal,
                           [&modal, button] { child<QPushButton>(&modal, button)->click(); });
    };
}

// Two different new passwords, then OK, which answers with a message over the dialog.
Step type_mismatch() {
    return [](QWidget& modal) {
        child<QLineEdit>(&modal, "new_password_edit")->setText(QStringLiteral("aaaaaaaaaaaaaaaa"));
        child<QLineEdit>(&modal, "confirm_password_edit")
            ->setText(QStringLiteral("bbbbbbbbbbbbbbbb"));
        click_later("ok_button")(modal);
    };
}

// Chooses an existing file in a save dialog, which then asks whether to replace it.
Step choose_existing(const QString& path) {
    return [path](QWidget& modal) {
        auto* chooser = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(chooser, nullptr);
        chooser->selectFile(path);
        // Through QDialog, where accept() is public; the file dialog's override runs.
        QTimer::singleShot(0, chooser, [chooser] { static_cast<QDialog*>(chooser)->accept(); });
    };
}

// The system asks the program to end while the window is open; the window is left as it is.
Step terminate() {
    return [](QWidget&) { std::raise(SIGTERM); };
}

void select_all_records(MainWindow& frame) {
    RecordList& list = frame.record_list();
    const QModelIndex first = list.model().index(0, 0);
    const QModelIndex last = list.model().index(list.model().rowCount() - 1, 0);
    list.selection_model().setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    list.selection_model().select(QItemSelection(first, last), QItemSelectionModel::Select);
    list.current_view().setFocus();
    frame.set_active_pane(&list);
}

void select_category(MainWindow& frame, const QString& name) {
    CategoryTree& tree = frame.category_tree();
    for (int i = 0; i < tree.root_item()->childCount(); ++i) {
        if (tree.root_item()->child(i)->text(0) == name)
            tree.setCurrentItem(tree.root_item()->child(i));
    }
    tree.setFocus();
    frame.set_active_pane(&tree);
}

std::function<void(MainWindow&)> on_list(int command) {
    return [command](MainWindow& frame) {
        select_all_records(frame);
        frame.router().dispatch(command);
    };
}

std::function<void(MainWindow&)> on_tree(int command) {
    return [command](MainWindow& frame) {
        select_category(frame, QStringLiteral("cat"));
        frame.router().dispatch(command);
    };
}

// A file outside the vault that an export could overwrite.
constexpr char kExisting[] = "existing.csv";

struct QuitRow {
    const char* name;
    bool first_run = false;  // no vault yet: the start-up creates one
    // Opens the question from the main window; empty for the questions of the start-up.
    std::function<void(MainWindow&)> command;
    // Answers every window before the one the signal arrives at.
    std::function<std::vector<Step>(const QString& outside)> answers;
    // The class of the window the signal arrives at.
    const char* question;
    // The vault after the answers, when they changed it.
    const char* changed_state = nullptr;
};

void PrintTo(const QuitRow& row, std::ostream* os) { *os << row.name; }

std::vector<Step> steps(std::vector<Step> list) { return list; }

const QuitRow kRows[] = {
    {"FirstRunMessage", true, {}, [](const QString&) { return steps({}); }, "QMessageBox"},
    {"FirstRunNewPassword",
     true,
     {},
     [](const QString&) { return steps({test_support::press_ok()}); },
     "korvane::ChangePasswordDialog"},
    // A message over the new-password dialog: the signal cancels both, not only the one on top.
    {"FirstRunMismatchOverNewPassword",
     true,
     {},
     [](const QString&) {
         return steps({test_support::press_ok(), type_mismatch()});
     },
     "QMessageBox"},
    {"Login", false, {}, [](const QString&) { return steps({}); }, "korvane::LoginDialog"},
    {"WrongPasswordMessage",
     false,
     {},
     [](const QString&) { return steps({log_in("wrongwrongyyyyyyy")}); },
     "QMessageBox"},
    // The second of three delete questions: the first answer stands, nothing else is deleted.
    {"SecondDeleteQuestion", false, on_list(res::kCmdDelete),
     [](const QString&) {
         return steps({log_in(), click("ok_button")});
     },
     "korvane::DeleteConfirmDialog", "two/,three/#cat#secretyyyyyyyyyyy"},
    {"DeleteCategoryQuestion", false, on_tree(res::kCmdDelete),
     [](const QString&) { return steps({log_in()}); }, "QMessageBox"},
    {"CategoryNameDialog", false, on_tree(res::kCmdNew),
     [](const QString&) { return steps({log_in()}); }, "korvane::CategoryNameDialog"},
    {"NewRecordEditor", false, on_list(res::kCmdNew),
     [](const QString&) { return steps({log_in()}); }, "korvane::RecordEditorDialog"},
    {"EditRecordEditor", false,
     [](MainWindow& frame) {
         select_all_records(frame);
         frame.record_list().on_edit_record();
     },
     [](const QString&) { return steps({log_in()}); }, "korvane::RecordEditorDialog"},
    {"ChangePasswordDialog", false, on_list(res::kCmdChangePassword),
     [](const QString&) { return steps({log_in()}); }, "korvane::ChangePasswordDialog"},
    {"ImportDialog", false, on_list(res::kCmdImport),
     [](const QString&) { return steps({log_in()}); }, "korvane::ImportDialog"},
    {"ImportFileChooser", false, on_list(res::kCmdImport),
     [](const QString&) {
         return steps({log_in(), click_later("browse_button")});
     },
     "QFileDialog"},
    {"SyncDialog", false, on_list(res::kCmdSync), [](const QString&) { return steps({log_in()}); },
     "korvane::SyncDialog"},
    {"FileToolDialog", false, on_list(res::kCmdEncryptFile),
     [](const QString&) { return steps({log_in()}); }, "korvane::FileCryptDialog"},
    {"ExportFileChooser", false, on_list(res::kCmdExportCsv),
     [](const QString&) { return steps({log_in()}); }, "QFileDialog"},
    {"ExportOverwriteQuestion", false, on_list(res::kCmdExportCsv),
     [](const QString& outside) {
         return steps({log_in(), choose_existing(outside + '/' + kExisting)});
     },
     "QMessageBox"},
    {"BackupFileChooser", false, on_list(res::kCmdExportBackup),
     [](const QString&) { return steps({log_in()}); }, "QFileDialog"},
    {"FloatWindowViewer", false,
     [](MainWindow& frame) { frame.float_window()->execute_command(res::kCmdViewCollected); },
     [](const QString&) { return steps({log_in()}); }, "korvane::RecordEditorDialog"},
    {"PasswordGenerator", false, on_list(res::kCmdPasswordGenerator),
     [](const QString&) { return steps({log_in()}); }, "korvane::PasswordGeneratorDialog"},
    {"AboutBox", false, on_list(res::kCmdAbout), [](const QString&) { return steps({log_in()}); },
     "korvane::AboutDialog"},
};

class QuitDuringQuestionTest : public ::testing::TestWithParam<QuitRow> {};

// Through run(): the real signal watcher, the real start-up prompts and the event loop.
TEST_P(QuitDuringQuestionTest, CancelsItAsksNothingMoreAndChangesNothing) {
    const QuitRow& row = GetParam();
    QTemporaryDir dir;
    QTemporaryDir outside;
    test_support::write_file(outside.filePath(kExisting), "kept");
    if (!row.first_run) make_vault(dir.path());
    const std::string before = row.first_run ? std::string() : sealed_state(dir.path());

    ShownDialogs shown;
    ModalDriver driver;
    const std::vector<Step> answers = row.answers(outside.path());
    for (const Step& step : answers) driver.then(step);
    driver.then(terminate());
    QTimer open_question;
    if (row.command) {
        QObject::connect(&open_question, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* frame = qobject_cast<MainWindow*>(widget);
                if (frame == nullptr || !frame->isVisible()) continue;
                open_question.stop();
                row.command(*frame);
                return;
            }
        });
        open_question.start(20);
    }

    KorvaneApplication app(application());
    const int code =
        app.run({QStringLiteral("korvane"), QStringLiteral("--vault-dir"), dir.path()});

    EXPECT_EQ(code, 0);
    EXPECT_EQ(driver.pending(), 0u) << "the signal was never sent";
    EXPECT_EQ(shown.titles().size(), answers.size() + 1)
        << "windows shown: " << shown.titles().join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(shown.last_class(), row.question);
    if (row.first_run) {
        EXPECT_EQ(test_support::folder_entries(dir.path()), QStringList{});
    } else {
        EXPECT_EQ(test_support::folder_entries(dir.path()), QStringList{"user.dat"});
        EXPECT_EQ(sealed_state(dir.path()), row.changed_state ? row.changed_state : before);
    }
    EXPECT_EQ(test_support::folder_entries(outside.path()), QStringList{kExisting});
    EXPECT_EQ(test_support::read_file(outside.filePath(kExisting)), "kept");
}

INSTANTIATE_TEST_SUITE_P(EveryQuestion, QuitDuringQuestionTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<QuitRow>& info) {
                             return std::string(info.param.name);
                         });

// An exception thrown by an event handler while the vault is open.
struct FailureRow {
    const char* name;
    std::function<void()> fail;
    const char* reason;  // how the message names it
};

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class FailedHandlerTest : public ::testing::TestWithParam<FailureRow> {};

TEST_P(FailedHandlerTest, SealsTheVaultTellsTheUserAndEndsWithAFailure) {
    const FailureRow& row = GetParam();
    QTemporaryDir dir;
    make_vault(dir.path());
    const std::string before = sealed_state(dir.path());

    QString told;
    ModalDriver driver;
    driver.then(log_in()).then([&told](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_NE(box, nullptr);
        told = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    QTimer fail_in_handler;
    QObject::connect(&fail_in_handler, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<MainWindow*>(widget) != nullptr && widget->isVisible()) {
                fail_in_handler.stop();
                row.fail();
            }
        }
    });
    fail_in_handler.start(20);

    KorvaneApplication app(application());
    const int code =
        app.run({QStringLiteral("korvane"), QStringLiteral("--vault-dir"), dir.path()});

    EXPECT_NE(code, 0);
    EXPECT_EQ(driver.pending(), 0u) << "the user was not told";
    EXPECT_TRUE(told.startsWith(QStringLiteral("程序出现意外错误，已退出：")))
        << told.toStdString();
    EXPECT_TRUE(told.contains(QString::fromUtf8(row.reason))) << told.toStdString();
    EXPECT_TRUE(told.contains(QDir::toNativeSeparators(dir.filePath("user.dat"))))
        << told.toStdString();
    EXPECT_EQ(test_support::folder_entries(dir.path()), QStringList{"user.dat"});
    EXPECT_EQ(sealed_state(dir.path()), before);
}

const FailureRow kFailures[] = {
    {"OutOfMemory", [] { throw std::bad_alloc(); }, "内存不足"},
    {"StandardException", [] { throw std::runtime_error("disk on fire"); }, "disk on fire"},
};

INSTANTIATE_TEST_SUITE_P(Exceptions, FailedHandlerTest, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The small dialogs and message boxes: CategoryNameDialog, AboutDialog, show_message, and the
// window frame every small dialog gets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "gui/auth/change_password_dialog.h"
#include "gui/auth/login_dialog.h"
#include "gui/categories/category_name_dialog.h"
#include "gui/common/message_box.h"
#include "gui/editor/delete_confirm_dialog.h"
#include "gui/editor/record_editor_dialog.h"
#include "gui/tools/file_chooser.h"
#include "gui/tools/file_crypt_dialog.h"
#include "gui/tools/import_dialog.h"
#include "gui/tools/password_generator_dialog.h"
#include "gui/tools/sync_dialog.h"
#include "gui/window/about_dialog.h"
#include "support/modal_driver.h"
#include "vault/program_version.h"
#include "vault/session_files.h"
#include "vault/sqlite_db.h"

namespace {

namespace kt = korvane::test_support;
using korvane::AboutDialog;
using korvane::CategoryNameDialog;

TEST(CategoryNameDialog, ReturnsTheTypedNameAsGbkAndAcceptsAnEmptyOne) {
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("请输入类别"));
        auto* edit = kt::child<QLineEdit>(&dialog, "name_edit");
        EXPECT_EQ(dialog.focusWidget(), edit);
        edit->setText(QStringLiteral("工作 'mail'"));
        kt::expect_no_message([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.category_name(), "\xB9\xA4\xD7\xF7 'mail'");
    }
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        kt::expect_no_message(
            [&] { kt::press_key(kt::child<QLineEdit>(&dialog, "name_edit"), Qt::Key_Return); });
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.category_name(), "");
    }
}

TEST(CategoryNameDialog, CancelRejectsAndANameGbkCannotHoldIsRefused) {
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        auto* cancel = kt::child<QPushButton>(&dialog, "cancel_button");
        EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(kt::child<QPushButton>(&dialog, "ok_button")->text(), QStringLiteral("OK"));
        cancel->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        kt::child<QLineEdit>(&dialog, "name_edit")->setText(QStringLiteral("\U0001F4C1 files"));
        const kt::SeenMessage seen =
            kt::answer_message_box([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
        ASSERT_TRUE(seen.shown);
        EXPECT_TRUE(seen.text.contains(QStringLiteral("类别"))) << seen.text.toStdString();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    }
}

TEST(AboutDialog, ShowsTheVersionAndClosesWithOk) {
    AboutDialog dialog;
    kt::show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("关于 Korvane"));
    EXPECT_EQ(kt::child<QLabel>(&dialog, "version_label")->text(), QStringLiteral("Korvane V1.2"));
    EXPECT_EQ(kt::child<QLabel>(&dialog, "version_label")->text(),
              QStringLiteral("Korvane V") + QLatin1String(korvane::kProgramVersion));
    EXPECT_FALSE(kt::child<QLabel>(&dialog, "credits_label")->text().isEmpty());
    kt::press_key(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

// The window manager elides a caption wider than the title bar: "出错啦" came out as "··".
TEST(MessageBox, IsWideEnoughForItsCaptionAndTheFrameButtons) {
    constexpr int kFrameButtonsMargin = 96;
    for (const QString& caption : {korvane::error_caption(), korvane::plain_error_caption(),
                                   QStringLiteral("一个相当长的标题，比消息本身长得多")}) {
        SCOPED_TRACE(caption.toStdString());
        int shown_width = 0;
        kt::ModalDriver driver;
        driver.then<QMessageBox>([&](QMessageBox* box) {
            shown_width = box->width();
            box->button(QMessageBox::Ok)->click();
        });
        korvane::show_message(nullptr, QStringLiteral("x"), caption);
        ASSERT_EQ(driver.pending(), 0u);
        EXPECT_GE(shown_width, QFontMetrics(QApplication::font()).horizontalAdvance(caption) +
                                   kFrameButtonsMargin);
    }
}

// What the tool dialogs are built on; none of it is used before a button is pressed.
struct DialogDeps {
    class NoChooser : public korvane::FileChooser {
    public:
        QString save_file(QWidget*, const QString&, const QString&, const QString&) override {
            return {};
        }
        QString open_file(QWidget*, const QString&, const QString&) override { return {}; }
    };
    QTemporaryDir folder;
    korvane::SqliteDb vault;
    NoChooser chooser;
};

struct FramedDialog {
    const char* name;
    std::function<std::unique_ptr<QDialog>(DialogDeps&)> make;
};

void PrintTo(const FramedDialog& row, std::ostream* out) { *out << row.name; }

class SmallDialogFrame : public ::testing::TestWithParam<FramedDialog> {};

// A dialog of fixed size could not be enlarged when its texts or the user's font need more room.
TEST_P(SmallDialogFrame, ResizesAndOffersMaximise) {
    DialogDeps deps;
    const std::unique_ptr<QDialog> dialog = GetParam().make(deps);
    kt::show_and_settle(dialog.get());
    EXPECT_NE(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_GT(dialog->maximumWidth(), dialog->width());
    EXPECT_GT(dialog->maximumHeight(), dialog->height());
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    // Shrinking stops at a size where the contents still fit.
    EXPECT_FALSE(dialog->minimumSize().isEmpty());
    dialog->hide();
}

template <typename D>
std::unique_ptr<QDialog> plain(DialogDeps&) {
    return std::make_unique<D>();
}

INSTANTIATE_TEST_SUITE_P(
    EverySmallDialog, SmallDialogFrame,
    ::testing::Values(FramedDialog{"Login", plain<korvane::LoginDialog>},
                      FramedDialog{"ChangePassword", plain<korvane::ChangePasswordDialog>},
                      FramedDialog{"CategoryName", plain<CategoryNameDialog>},
                      FramedDialog{"DeleteConfirm", plain<korvane::DeleteConfirmDialog>},
                      FramedDialog{"FileCrypt",
                                   [](DialogDeps& deps) -> std::unique_ptr<QDialog> {
                                       return std::make_unique<korvane::FileCryptDialog>(
                                           QString(), korvane::SessionFiles(deps.folder.path()),
                                           deps.chooser);
                                   }},
                      FramedDialog{"Import",
                                   [](DialogDeps& deps) -> std::unique_ptr<QDialog> {
                                       return std::make_unique<korvane::ImportDialog>(deps.vault,
                                                                                      deps.chooser);
                                   }},
                      FramedDialog{"Sync",
                                   [](DialogDeps& deps) -> std::unique_ptr<QDialog> {
                                       return std::make_unique<korvane::SyncDialog>(deps.vault,
                                                                                    deps.chooser);
                                   }},
                      FramedDialog{"Generator", plain<korvane::PasswordGeneratorDialog>},
                      FramedDialog{"About", plain<AboutDialog>},
                      FramedDialog{"RecordEditor", plain<korvane::RecordEditorDialog>}),
    [](const ::testing::TestParamInfo<FramedDialog>& info) { return info.param.name; });

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The window frame every small dialog gets: whatever feature the dialog belongs to, it can be
// resized and maximised.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "gui/auth/change_password_dialog.h"
#include "gui/auth/login_dialog.h"
#include "gui/categories/category_name_dialog.h"
#include "gui/editor/delete_confirm_dialog.h"
#include "gui/editor/record_editor_dialog.h"
#include "gui/tools/file_chooser.h"
#include "gui/tools/file_crypt_dialog.h"
#include "gui/tools/import_dialog.h"
#include "gui/tools/password_generator_dialog.h"
#include "gui/tools/sync_dialog.h"
#include "gui/window/about_dialog.h"
#include "support/modal_driver.h"
#include "vault/session_files.h"
#include "vault/sqlite_db.h"

namespace {

namespace kt = korvane::test_support;
using korvane::AboutDialog;
using korvane::CategoryNameDialog;

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

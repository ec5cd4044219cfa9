// SPDX-License-Identifier: GPL-3.0-or-later
// ImportDialog: the password prompt for the enciphered files and the messages of each import.
#include "gui/tools/import_dialog.h"

#include "gui/auth/login_dialog.h"
#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"
#include "gui/tools/file_chooser.h"
#include "tools/database_import.h"
#include "ui_import_dialog.h"

namespace korvane {

ImportDialog::ImportDialog(SqliteDb& vault, FileChooser& chooser, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ImportDialog>()), vault_(vault), chooser_(chooser) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    ui_->path_edit->setFocus();
    connect(ui_->browse_button, &QPushButton::clicked, this, &ImportDialog::browse);
    connect(ui_->import_old_button, &QPushButton::clicked, this,
            [this] { import_legacy(tools::LegacyFormat::Old); });
    connect(ui_->import_new_button, &QPushButton::clicked, this,
            [this] { import_legacy(tools::LegacyFormat::New); });
    connect(ui_->import_database_button, &QPushButton::clicked, this,
            &ImportDialog::import_database);
}

ImportDialog::~ImportDialog() = default;

QString ImportDialog::source_path() const { return ui_->path_edit->text(); }

void ImportDialog::browse() {
    const QString path = chooser_.open_file(this, open_caption(), any_file_filter());
    if (!path.isEmpty()) ui_->path_edit->setText(path);
}

void ImportDialog::import_legacy(tools::LegacyFormat format) {
    // The file is checked before the password is asked, so a wrong file costs no typing.
    auto file = tools::LegacyVaultFile::open(source_path(), format);
    if (!file) {
        show_message(this, file.error(), error_caption());
        return;
    }
    LoginDialog prompt;  // without an owner, like the prompt at start-up
    if (run_modal(prompt) != QDialog::Accepted) return;

    const tools::LegacyImportResult result =
        tools::import_legacy_file(vault_, *file, prompt.password());
    switch (result.outcome) {
        case tools::LegacyImportOutcome::Imported:
            accept();
            return;
        case tools::LegacyImportOutcome::WrongPassword:
            // Earlier versions ended the program here; only this attempt ends now.
            show_message(this, QStringLiteral("密码错误"), error_caption());
            return;
        case tools::LegacyImportOutcome::Failed:
            show_message(this, result.message, error_caption());
            return;
    }
}

void ImportDialog::import_database() {
    auto counts = tools::import_database(vault_, source_path());
    if (!counts) show_message(this, counts.error(), error_caption());
}

}  // namespace korvane

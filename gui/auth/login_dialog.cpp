// SPDX-License-Identifier: GPL-3.0-or-later
// LoginDialog: the password prompt shown before the vault is deciphered.
#include "gui/auth/login_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "ui_login_dialog.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"

namespace korvane {

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::LoginDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    ui_->password_edit->setFocus();
    connect(ui_->ok_button, &QPushButton::clicked, this, &LoginDialog::accept);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &LoginDialog::reject);
}

LoginDialog::~LoginDialog() {
    // The caller has taken its copy; the typed text need not outlive the prompt.
    ui_->password_edit->clear();
    secure_wipe(password_);
}

void LoginDialog::accept() {
    auto bytes = text::to_gbk(ui_->password_edit->text(), ui_->password_group->title());
    if (!bytes) {
        // Replacing the character would silently change the key, so the user must retype.
        show_message(this, bytes.error(), plain_error_caption());
        ui_->password_edit->setFocus();
        return;
    }
    secure_wipe(password_);
    password_ = text::pad_master_password(std::move(bytes).value());
    QDialog::accept();
}

}  // namespace korvane

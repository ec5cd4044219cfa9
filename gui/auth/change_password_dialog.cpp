// SPDX-License-Identifier: GPL-3.0-or-later
// ChangePasswordDialog: the new-password dialog of the first run and of the password change.
#include "gui/auth/change_password_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "ui_change_password_dialog.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"

namespace korvane {

ChangePasswordDialog::ChangePasswordDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ChangePasswordDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    // The buttons come first in the tab order, so the dialog opens on OK.
    ui_->ok_button->setFocus();
    connect(ui_->ok_button, &QPushButton::clicked, this, &ChangePasswordDialog::accept);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &ChangePasswordDialog::reject);
}

ChangePasswordDialog::~ChangePasswordDialog() {
    ui_->new_password_edit->clear();
    ui_->confirm_password_edit->clear();
    secure_wipe(new_password_);
}

void ChangePasswordDialog::accept() {
    auto typed = text::to_gbk(ui_->new_password_edit->text(), ui_->new_password_label->text());
    if (!typed) {
        show_message(this, typed.error(), plain_error_caption());
        ui_->new_password_edit->setFocus();
        return;
    }
    auto again =
        text::to_gbk(ui_->confirm_password_edit->text(), ui_->confirm_password_label->text());
    if (!again) {
        show_message(this, again.error(), plain_error_caption());
        ui_->confirm_password_edit->setFocus();
        return;
    }
    // Both typed copies are wiped however the check below ends.
    WipeOnExit wipe_typed(*typed);
    WipeOnExit wipe_again(*again);
    // Compared as stored bytes, so entries that differ only in case are a mismatch.
    if (*typed != *again) {
        show_message(this, QStringLiteral("两次输入不一致"));
        return;
    }
    if (typed->size() > kMaxPasswordBytes) {
        show_message(this, QStringLiteral("密码太长：最多 %1 个字节（一个汉字占 2 个字节）。")
                               .arg(kMaxPasswordBytes));
        ui_->new_password_edit->setFocus();
        return;
    }
    secure_wipe(new_password_);
    new_password_ = text::pad_master_password(*typed);
    QDialog::accept();
}

}  // namespace korvane

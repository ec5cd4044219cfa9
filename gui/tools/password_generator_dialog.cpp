// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordGeneratorDialog: reads the classes and length, shows the result or why there is none.
#include "gui/tools/password_generator_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "gui/common/strength_bar.h"
#include "platform/clipboard.h"
#include "tools/password_generator.h"
#include "ui_password_generator_dialog.h"

namespace korvane {

PasswordGeneratorDialog::PasswordGeneratorDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PasswordGeneratorDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    ui_->password_edit->setFocus();
    connect(ui_->ok_button, &QPushButton::clicked, this, &PasswordGeneratorDialog::accept);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &PasswordGeneratorDialog::reject);
    connect(ui_->copy_button, &QPushButton::clicked, this, &PasswordGeneratorDialog::copy_password);
    connect(ui_->password_edit, &QLineEdit::textChanged, this,
            &PasswordGeneratorDialog::update_copy_button);
    connect(ui_->password_edit, &QLineEdit::textChanged, ui_->strength_bar,
            &StrengthBar::show_strength_of);
    update_copy_button();
}

PasswordGeneratorDialog::~PasswordGeneratorDialog() = default;

void PasswordGeneratorDialog::accept() {
    tools::CharClasses classes;
    classes.lower = ui_->lower_check->isChecked();
    classes.upper = ui_->upper_check->isChecked();
    classes.digits = ui_->digit_check->isChecked();
    classes.symbols = ui_->symbol_check->isChecked();
    // A half-typed number in the box counts as what the box shows once it is interpreted.
    ui_->length_spin->interpretText();
    auto password = tools::generate_password(ui_->length_spin->value(), classes);
    if (!password) {
        show_message(this, password.error(), plain_error_caption());
        return;
    }
    // Generated characters are ASCII only, so Latin-1 is exact.
    ui_->password_edit->setText(QString::fromLatin1(password->data(), qsizetype(password->size())));
}

void PasswordGeneratorDialog::copy_password() { put_text_on_clipboard(ui_->password_edit->text()); }

void PasswordGeneratorDialog::update_copy_button() {
    ui_->copy_button->setEnabled(!ui_->password_edit->text().isEmpty());
}

}  // namespace korvane

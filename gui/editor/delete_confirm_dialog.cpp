// SPDX-License-Identifier: GPL-3.0-or-later
// DeleteConfirmDialog: the four-answer question of a record deletion.
#include "gui/editor/delete_confirm_dialog.h"

#include <QShowEvent>
#include <QStyle>

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "ui_delete_confirm_dialog.h"
#include "vault/text.h"

namespace korvane {

DeleteConfirmDialog::DeleteConfirmDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DeleteConfirmDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    const int icon_size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    ui_->icon_label->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(icon_size));
    connect(ui_->ok_button, &QPushButton::clicked, this, [this] { finish(DeleteAnswer::yes); });
    connect(ui_->no_button, &QPushButton::clicked, this, [this] { finish(DeleteAnswer::no); });
    connect(ui_->yes_to_all_button, &QPushButton::clicked, this,
            [this] { finish(DeleteAnswer::yes_to_all); });
    connect(ui_->cancel_button, &QPushButton::clicked, this, &DeleteConfirmDialog::reject);
}

DeleteConfirmDialog::~DeleteConfirmDialog() = default;

void DeleteConfirmDialog::set_message(std::string message) {
    message_ = std::move(message);
    ui_->message_label->setText(text::from_gbk(message_));
}

void DeleteConfirmDialog::showEvent(QShowEvent* event) {
    // Each run starts on OK, so Enter answers yes even if the last run ended on another button.
    ui_->ok_button->setFocus();
    // QDialog places the dialog here; the first run's place is known only after it.
    QDialog::showEvent(event);
    // A window manager that adds its frame each time the dialog is mapped leaves the hidden
    // dialog lower than it was, so a run of questions would creep down the screen.
    if (event->spontaneous()) return;
    if (first_position_) {
        move(*first_position_);
    } else {
        first_position_ = pos();
    }
}

void DeleteConfirmDialog::reject() {
    answer_ = DeleteAnswer::cancel;
    QDialog::reject();
}

void DeleteConfirmDialog::finish(DeleteAnswer answer) {
    answer_ = answer;
    accept();
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// CategoryNameDialog: one edit, OK and Cancel.
#include "gui/categories/category_name_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "ui_category_name_dialog.h"
#include "vault/text.h"

namespace korvane {

CategoryNameDialog::CategoryNameDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CategoryNameDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    ui_->name_edit->setFocus();
    connect(ui_->ok_button, &QPushButton::clicked, this, &CategoryNameDialog::accept);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &CategoryNameDialog::reject);
}

CategoryNameDialog::~CategoryNameDialog() = default;

void CategoryNameDialog::accept() {
    auto name = text::to_gbk(ui_->name_edit->text(), QStringLiteral("类别"));
    if (!name) {
        show_message(this, name.error(), plain_error_caption());
        ui_->name_edit->setFocus();
        return;
    }
    category_name_ = std::move(name).value();
    QDialog::accept();
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// AboutDialog: a small box with the application icon and the version line.
#include "gui/window/about_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/window/program_title.h"
#include "ui_about_dialog.h"

namespace korvane {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>()) {
    ui_->setupUi(this);
    const QIcon icon = app_icon();
    setWindowIcon(icon);
    use_resizable_frame(*this);
    ui_->icon_label->setPixmap(icon.pixmap(32, 32));
    ui_->version_label->setText(program_title());
    resize(sizeHint().expandedTo(size()));
    connect(ui_->ok_button, &QPushButton::clicked, this, &AboutDialog::accept);
}

AboutDialog::~AboutDialog() = default;

}  // namespace korvane

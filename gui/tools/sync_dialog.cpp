// SPDX-License-Identifier: GPL-3.0-or-later
// SyncDialog: browse, run the merge through the work layer, report a source it cannot read.
#include "gui/tools/sync_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/common/message_box.h"
#include "gui/tools/file_chooser.h"
#include "tools/database_sync.h"
#include "ui_sync_dialog.h"

namespace korvane {

SyncDialog::SyncDialog(SqliteDb& vault, FileChooser& chooser, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SyncDialog>()), vault_(vault), chooser_(chooser) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    ui_->path_edit->setFocus();
    connect(ui_->browse_button, &QPushButton::clicked, this, &SyncDialog::browse);
    connect(ui_->sync_button, &QPushButton::clicked, this, &SyncDialog::synchronise);
    connect(ui_->close_button, &QPushButton::clicked, this, &SyncDialog::accept);
}

SyncDialog::~SyncDialog() = default;

QString SyncDialog::source_path() const { return ui_->path_edit->text(); }

void SyncDialog::browse() {
    const QString path = chooser_.open_file(this, open_caption(), any_file_filter());
    if (!path.isEmpty()) ui_->path_edit->setText(path);
}

void SyncDialog::synchronise() {
    auto counts = tools::sync_database(vault_, source_path());
    if (!counts) {
        // Earlier versions reported 0 records here, which hid a wrong choice of file.
        show_message(this, counts.error(), error_caption());
        return;
    }
    synced_ = true;
    sync_count_ = counts->records;
    added_categories_ = counts->categories;
    accept();
}

}  // namespace korvane

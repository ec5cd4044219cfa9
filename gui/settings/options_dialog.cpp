// SPDX-License-Identifier: GPL-3.0-or-later
// OptionsDialog: between the settings store and the check boxes and spin boxes.
#include "gui/settings/options_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/settings/clipboard_settings.h"
#include "gui/settings/lock_settings.h"
#include "ui_options_dialog.h"

namespace korvane {

OptionsDialog::OptionsDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::OptionsDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    // The ranges come from the settings classes so that the two can never disagree.
    ui_->clipboard_spin->setRange(ClipboardSettings::kMinSeconds, ClipboardSettings::kMaxSeconds);
    ui_->idle_spin->setRange(1, LockSettings::kMaxIdleMinutes);
    show_stored();
    connect(ui_->clipboard_check, &QCheckBox::toggled, this, &OptionsDialog::update_enabled);
    connect(ui_->idle_check, &QCheckBox::toggled, this, &OptionsDialog::update_enabled);
    connect(ui_->ok_button, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &OptionsDialog::reject);
    update_enabled();
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::show_stored() {
    const int seconds = ClipboardSettings::read();
    ui_->clipboard_check->setChecked(seconds != ClipboardSettings::kNever);
    ui_->clipboard_spin->setValue(
        seconds != ClipboardSettings::kNever ? seconds : ClipboardSettings::kDefaultSeconds);
    const int minutes = LockSettings::read_idle_minutes();
    ui_->idle_check->setChecked(minutes != LockSettings::kIdleOff);
    ui_->idle_spin->setValue(minutes != LockSettings::kIdleOff ? minutes : kSuggestedIdleMinutes);
    ui_->screen_lock_check->setChecked(LockSettings::read_on_screen_lock());
}

void OptionsDialog::update_enabled() {
    // A switched-off delay keeps its number, so switching it back on restores what was there.
    ui_->clipboard_spin->setEnabled(ui_->clipboard_check->isChecked());
    ui_->idle_spin->setEnabled(ui_->idle_check->isChecked());
}

int OptionsDialog::clipboard_seconds() const {
    return ui_->clipboard_check->isChecked() ? ui_->clipboard_spin->value()
                                             : ClipboardSettings::kNever;
}

int OptionsDialog::idle_minutes() const {
    return ui_->idle_check->isChecked() ? ui_->idle_spin->value() : LockSettings::kIdleOff;
}

bool OptionsDialog::lock_on_screen_lock() const { return ui_->screen_lock_check->isChecked(); }

void OptionsDialog::accept() {
    ui_->clipboard_spin->interpretText();
    ui_->idle_spin->interpretText();
    QDialog::accept();
}

void OptionsDialog::store() const {
    ClipboardSettings::write(clipboard_seconds());
    LockSettings::write_idle_minutes(idle_minutes());
    LockSettings::write_on_screen_lock(lock_on_screen_lock());
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// OptionsDialog: between the settings store and the check boxes and spin boxes.
#include "gui/settings/options_dialog.h"

#include "gui/common/app_icon.h"
#include "gui/common/dialog_frame.h"
#include "gui/settings/settings_store.h"
#include "ui_options_dialog.h"

namespace korvane {
namespace {

constexpr const SettingRow& kClipboard = SettingsStore::row(Setting::ClipboardClearSeconds);
constexpr const SettingRow& kIdleLock = SettingsStore::row(Setting::IdleLockMinutes);

}  // namespace

OptionsDialog::OptionsDialog(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), ui_(std::make_unique<Ui::OptionsDialog>()) {
    ui_->setupUi(this);
    setWindowIcon(app_icon());
    use_resizable_frame(*this);
    // The ranges come from the settings' table so that the two can never disagree.
    ui_->clipboard_spin->setRange(kClipboard.min, kClipboard.max);
    ui_->idle_spin->setRange(kIdleLock.min, kIdleLock.max);
    show_stored();
    connect(ui_->clipboard_check, &QCheckBox::toggled, this, &OptionsDialog::update_enabled);
    connect(ui_->idle_check, &QCheckBox::toggled, this, &OptionsDialog::update_enabled);
    connect(ui_->ok_button, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(ui_->cancel_button, &QPushButton::clicked, this, &OptionsDialog::reject);
    update_enabled();
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::show_stored() {
    const int seconds = settings_.clipboard_clear_seconds();
    ui_->clipboard_check->setChecked(seconds != kClipboard.off);
    ui_->clipboard_spin->setValue(seconds != kClipboard.off ? seconds : kClipboard.default_value);
    const int minutes = settings_.idle_lock_minutes();
    ui_->idle_check->setChecked(minutes != kIdleLock.off);
    ui_->idle_spin->setValue(minutes != kIdleLock.off ? minutes : kSuggestedIdleMinutes);
    ui_->screen_lock_check->setChecked(settings_.lock_on_screen_lock());
}

void OptionsDialog::update_enabled() {
    // A switched-off delay keeps its number, so switching it back on restores what was there.
    ui_->clipboard_spin->setEnabled(ui_->clipboard_check->isChecked());
    ui_->idle_spin->setEnabled(ui_->idle_check->isChecked());
}

int OptionsDialog::clipboard_seconds() const {
    return ui_->clipboard_check->isChecked() ? ui_->clipboard_spin->value() : kClipboard.off;
}

int OptionsDialog::idle_minutes() const {
    return ui_->idle_check->isChecked() ? ui_->idle_spin->value() : kIdleLock.off;
}

bool OptionsDialog::lock_on_screen_lock() const { return ui_->screen_lock_check->isChecked(); }

void OptionsDialog::accept() {
    ui_->clipboard_spin->interpretText();
    ui_->idle_spin->interpretText();
    QDialog::accept();
}

void OptionsDialog::store() const {
    settings_.set_clipboard_clear_seconds(clipboard_seconds());
    settings_.set_idle_lock_minutes(idle_minutes());
    settings_.set_lock_on_screen_lock(lock_on_screen_lock());
}

}  // namespace korvane

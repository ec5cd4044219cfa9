// SPDX-License-Identifier: GPL-3.0-or-later
// OptionsDialog: the clipboard delay and the lock triggers, as the user sets them.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class OptionsDialog;
}

namespace korvane {

class SettingsStore;

// Opens showing the stored settings; store() writes what the controls show. Each delay is a check
// box that turns it on and a spin box limited to its range, so no control can express a value the
// settings would read back as the default.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    // A stored "off" leaves nothing to show in the spin box; this is what it offers instead.
    static constexpr int kSuggestedIdleMinutes = 10;

    explicit OptionsDialog(SettingsStore& settings, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    int clipboard_seconds() const;
    int idle_minutes() const;
    bool lock_on_screen_lock() const;

    // Writes the three values; the caller decides whether the dialog's answer allows it.
    void store() const;

public slots:
    // Takes a number still being typed in a spin box as the box will show it.
    void accept() override;

private:
    void show_stored();
    void update_enabled();

    SettingsStore& settings_;
    std::unique_ptr<Ui::OptionsDialog> ui_;
};

}  // namespace korvane

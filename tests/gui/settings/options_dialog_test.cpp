// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog: what it opens with, what its controls can express, and what the window's
// 选项… command stores and puts in force.
#include "gui/settings/options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "gui/settings/settings_folder.h"
#include "gui/settings/settings_store.h"
#include "gui/window/running_app.h"
#include "resources/resource_ids.h"
#include "support/modal_driver.h"

namespace korvane::test_support {
namespace {

class OptionsCommandTest : public RunningAppTest {
protected:
    // Opens 选项… from the window and lets change act on the dialog before pressing button.
    void run_options(const std::function<void(OptionsDialog*)>& change, const char* button) {
        ModalDriver driver;
        driver.then<OptionsDialog>([&](OptionsDialog* dialog) {
            change(dialog);
            child<QPushButton>(dialog, button)->click();
        });
        router().dispatch(res::kCmdOptions);
        EXPECT_EQ(driver.pending(), 0u);
    }

    // Set before the program starts, so it reads and writes nothing a previous test left.
    SettingsFolder folder_;
    SettingsStore settings_;
};

TEST_F(OptionsCommandTest, OkStoresTheChoicesAndTheWindowUsesThemAtOnce) {
    settings_.set_clipboard_clear_seconds(45);
    window_->apply_settings();
    run_options(
        [](OptionsDialog* dialog) {
            // What is stored is what the dialog opens with; off delays keep their box disabled.
            EXPECT_TRUE(child<QCheckBox>(dialog, "clipboard_check")->isChecked());
            EXPECT_EQ(child<QSpinBox>(dialog, "clipboard_spin")->value(), 45);
            EXPECT_FALSE(child<QCheckBox>(dialog, "idle_check")->isChecked());
            EXPECT_FALSE(child<QSpinBox>(dialog, "idle_spin")->isEnabled());
            EXPECT_TRUE(child<QCheckBox>(dialog, "screen_lock_check")->isChecked());
            child<QSpinBox>(dialog, "clipboard_spin")->setValue(120);
            child<QCheckBox>(dialog, "idle_check")->setChecked(true);
            child<QSpinBox>(dialog, "idle_spin")->setValue(30);
            child<QCheckBox>(dialog, "screen_lock_check")->setChecked(false);
        },
        "ok_button");
    EXPECT_EQ(settings_.clipboard_clear_seconds(), 120);
    EXPECT_EQ(settings_.idle_lock_minutes(), 30);
    EXPECT_FALSE(settings_.lock_on_screen_lock());
    EXPECT_EQ(window_->clipboard_clearer().delay_seconds(), 120);

    run_options(
        [](OptionsDialog* dialog) {
            child<QCheckBox>(dialog, "clipboard_check")->setChecked(false);
            child<QCheckBox>(dialog, "idle_check")->setChecked(false);
        },
        "ok_button");
    EXPECT_EQ(settings_.clipboard_clear_seconds(), 0);
    EXPECT_EQ(settings_.idle_lock_minutes(), 0);
    EXPECT_EQ(window_->clipboard_clearer().delay_seconds(), 0);
}

TEST_F(OptionsCommandTest, CancelStoresNothingAndKeepsTheDelay) {
    const int delay_before = window_->clipboard_clearer().delay_seconds();
    run_options(
        [](OptionsDialog* dialog) {
            child<QCheckBox>(dialog, "clipboard_check")->setChecked(false);
            child<QCheckBox>(dialog, "idle_check")->setChecked(true);
            child<QCheckBox>(dialog, "screen_lock_check")->setChecked(false);
        },
        "cancel_button");
    // The look is written only when the window goes, so nothing at all may be stored yet.
    EXPECT_TRUE(folder_.stored().isEmpty()) << folder_.stored().data();
    EXPECT_EQ(window_->clipboard_clearer().delay_seconds(), delay_before);
}

TEST(OptionsDialogTest, SpinBoxesHoldOnlyDelaysTheSettingsKeep) {
    SettingsStore settings;
    OptionsDialog dialog(settings);
    auto* clipboard_spin = child<QSpinBox>(&dialog, "clipboard_spin");
    EXPECT_EQ(clipboard_spin->minimum(), 5);
    EXPECT_EQ(clipboard_spin->maximum(), 300);
    auto* idle_spin = child<QSpinBox>(&dialog, "idle_spin");
    EXPECT_EQ(idle_spin->minimum(), 1);
    EXPECT_EQ(idle_spin->maximum(), 1440);
    // 0 is each delay's "off", which only its check box may choose.
    child<QCheckBox>(&dialog, "clipboard_check")->setChecked(true);
    child<QCheckBox>(&dialog, "idle_check")->setChecked(true);
    clipboard_spin->setValue(0);
    idle_spin->setValue(0);
    EXPECT_EQ(dialog.clipboard_seconds(), 5);
    EXPECT_EQ(dialog.idle_minutes(), 1);
}

}  // namespace
}  // namespace korvane::test_support

// SPDX-License-Identifier: GPL-3.0-or-later
// QtSessionPrompts: the start-up's questions answered through the real modal dialogs.
#include "gui/auth/qt_session_prompts.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "gui/auth/change_password_dialog.h"
#include "gui/auth/login_dialog.h"
#include "support/modal_driver.h"

namespace {

namespace kt = korvane::test_support;
using korvane::ChangePasswordDialog;
using korvane::LoginDialog;
using korvane::QtSessionPrompts;

TEST(QtSessionPrompts, MasterPasswordComesBackPaddedOrNotAtAllOnCancel) {
    QtSessionPrompts prompts;
    kt::on_next_modal<LoginDialog>([](LoginDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), nullptr);
        kt::child<QLineEdit>(dialog, "password_edit")->setText(QStringLiteral("open"));
        kt::expect_no_message([&] { kt::child<QPushButton>(dialog, "ok_button")->click(); });
    });
    EXPECT_EQ(prompts.ask_master_password(),
              std::optional<std::string>("open" + std::string(13, 'y')));

    kt::on_next_modal<LoginDialog>(
        [](LoginDialog* dialog) { kt::press_key(dialog, Qt::Key_Escape); });
    EXPECT_EQ(prompts.ask_master_password(), std::nullopt);
}

TEST(QtSessionPrompts, NewPasswordComesBackPaddedOrNotAtAllOnCancel) {
    QtSessionPrompts prompts;
    kt::on_next_modal<ChangePasswordDialog>([](ChangePasswordDialog* dialog) {
        kt::child<QLineEdit>(dialog, "new_password_edit")
            ->setText(QStringLiteral("sixteen-bytes-ok"));
        kt::child<QLineEdit>(dialog, "confirm_password_edit")
            ->setText(QStringLiteral("sixteen-bytes-ok"));
        kt::expect_no_message([&] { kt::child<QPushButton>(dialog, "ok_button")->click(); });
    });
    EXPECT_EQ(prompts.ask_new_password(korvane::NewPasswordReason::NewVault),
              std::optional<std::string>("sixteen-bytes-ok"));

    kt::on_next_modal<ChangePasswordDialog>([](ChangePasswordDialog* dialog) {
        kt::child<QPushButton>(dialog, "cancel_button")->click();
    });
    EXPECT_EQ(prompts.ask_new_password(korvane::NewPasswordReason::NewVault), std::nullopt);
}

TEST(QtSessionPrompts, MessageHasNoOwnerAndKeepsItsCaption) {
    QtSessionPrompts prompts;
    const kt::SeenMessage seen = kt::answer_message_box(
        [&] { prompts.show_message(QStringLiteral("密码错误"), QStringLiteral("错误")); });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, QStringLiteral("密码错误"));
    EXPECT_EQ(seen.caption, QStringLiteral("错误"));
    EXPECT_EQ(seen.owner, nullptr);
}

}  // namespace

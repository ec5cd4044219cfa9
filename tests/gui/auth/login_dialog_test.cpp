// SPDX-License-Identifier: GPL-3.0-or-later
// LoginDialog: padding of the typed password, refusal of characters GBK cannot hold, cancel,
// focus and tab order.
#include "gui/auth/login_dialog.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "support/modal_driver.h"

namespace {

namespace kt = korvane::test_support;
using korvane::LoginDialog;

struct Typed {
    QString entry;
    std::string expected;  // GBK bytes written out by hand, not produced by the code under test
};

// Enters text and presses OK; returns whether the dialog accepted.
bool enter_and_ok(LoginDialog& dialog, const QString& text) {
    kt::child<QLineEdit>(&dialog, "password_edit")->setText(text);
    kt::expect_no_message([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
    return dialog.result() == QDialog::Accepted;
}

TEST(LoginDialog, PadsEntriesShorterThanSixteenBytesAndKeepsLongerOnesAsTyped) {
    const std::string chinese8 = "\xCE\xD2\xB5\xC4\xC3\xDC\xC2\xEB\xCE\xD2\xB5\xC4\xC3\xDC\xC2\xEB";
    const std::vector<Typed> cases = {
        {QString(), std::string(17, 'y')},
        {QStringLiteral("a"), "a" + std::string(16, 'y')},
        {QStringLiteral("abcdefghijklmno"), "abcdefghijklmnoyy"},
        {QStringLiteral("abcdefghijklmnop"), "abcdefghijklmnop"},
        {QStringLiteral("Abc Def 123 !@#$ and some more"), "Abc Def 123 !@#$ and some more"},
        // Chinese characters count two bytes each.
        {QStringLiteral("密码"), "\xC3\xDC\xC2\xEB" + std::string(13, 'y')},
        {QStringLiteral("我的密码我的密x"), chinese8.substr(0, 14) + "xyy"},
        {QStringLiteral("我的密码我的密码"), chinese8},
        // Too long to make a key: returned all the same, the vault then calls it wrong.
        {QString(70, QLatin1Char('k')), std::string(70, 'k')},
    };
    for (const Typed& typed : cases) {
        LoginDialog dialog;
        ASSERT_TRUE(enter_and_ok(dialog, typed.entry)) << typed.entry.toStdString();
        EXPECT_EQ(dialog.password(), typed.expected) << typed.entry.toStdString();
    }
}

TEST(LoginDialog, RefusesACharacterGbkCannotHoldNamingTheFieldAndStaysOpen) {
    LoginDialog dialog;
    kt::show_and_settle(&dialog);
    auto* edit = kt::child<QLineEdit>(&dialog, "password_edit");
    edit->setText(QStringLiteral("key\U0001F511"));
    const kt::SeenMessage seen =
        kt::answer_message_box([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.text.contains(QStringLiteral("用户密码"))) << seen.text.toStdString();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(edit->text(), QStringLiteral("key\U0001F511"));

    // Once corrected, the same dialog accepts.
    ASSERT_TRUE(enter_and_ok(dialog, QStringLiteral("key")));
    EXPECT_EQ(dialog.password(), "key" + std::string(14, 'y'));
}

TEST(LoginDialog, CancelButtonAndEscapeReject) {
    {
        LoginDialog dialog;
        kt::show_and_settle(&dialog);
        kt::child<QLineEdit>(&dialog, "password_edit")->setText(QStringLiteral("typed"));
        kt::child<QPushButton>(&dialog, "cancel_button")->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(dialog.password().empty());
    }
    {
        LoginDialog dialog;
        kt::show_and_settle(&dialog);
        kt::press_key(dialog.focusWidget(), Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(LoginDialog, OpensInThePasswordEditTabsToOkThenCancelAndEnterAccepts) {
    LoginDialog dialog;
    kt::show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("输入密码"));
    EXPECT_EQ(kt::child<QGroupBox>(&dialog, "password_group")->title(), QStringLiteral("用户密码"));
    auto* edit = kt::child<QLineEdit>(&dialog, "password_edit");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);

    const std::vector<QWidget*> expected = {edit, kt::child<QPushButton>(&dialog, "ok_button"),
                                            kt::child<QPushButton>(&dialog, "cancel_button")};
    EXPECT_EQ(kt::tab_cycle(&dialog), expected);

    edit->setFocus();
    edit->setText(QStringLiteral("0123456789abcdef"));
    kt::expect_no_message([&] { kt::press_key(edit, Qt::Key_Return); });
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.password(), "0123456789abcdef");
}

}  // namespace

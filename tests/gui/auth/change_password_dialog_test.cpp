// SPDX-License-Identifier: GPL-3.0-or-later
// ChangePasswordDialog: matching entries padded, mismatches and over-long entries refused with
// the dialog left open, cancel, focus and tab order.
#include "gui/auth/change_password_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "support/modal_driver.h"

namespace {

namespace kt = korvane::test_support;
using korvane::ChangePasswordDialog;

QLineEdit* first_edit(ChangePasswordDialog& dialog) {
    return kt::child<QLineEdit>(&dialog, "new_password_edit");
}

QLineEdit* second_edit(ChangePasswordDialog& dialog) {
    return kt::child<QLineEdit>(&dialog, "confirm_password_edit");
}

// Types both entries and presses OK; returns any message box it raised.
kt::SeenMessage type_twice_and_ok(ChangePasswordDialog& dialog, const QString& first,
                                  const QString& second) {
    first_edit(dialog)->setText(first);
    second_edit(dialog)->setText(second);
    return kt::answer_message_box([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
}

TEST(ChangePasswordDialog, MatchingEntriesArePaddedLikeTheLoginAndLongerOnesKeptAsTyped) {
    struct Case {
        QString entry;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {QString(), std::string(17, 'y')},
        {QStringLiteral("abcdefghijklmno"), "abcdefghijklmnoyy"},
        {QStringLiteral("abcdefghijklmnop"), "abcdefghijklmnop"},
        {QStringLiteral("汉字"), "\xBA\xBA\xD7\xD6" + std::string(13, 'y')},
        {QString(59, QLatin1Char('z')), std::string(59, 'z')},
    };
    for (const Case& c : cases) {
        ChangePasswordDialog dialog;
        kt::show_and_settle(&dialog);
        const kt::SeenMessage seen = type_twice_and_ok(dialog, c.entry, c.entry);
        EXPECT_FALSE(seen.shown) << seen.text.toStdString();
        ASSERT_EQ(dialog.result(), QDialog::Accepted) << c.entry.toStdString();
        EXPECT_EQ(dialog.new_password(), c.expected) << c.entry.toStdString();
    }
}

TEST(ChangePasswordDialog, MismatchIsReportedAndLeavesTheDialogOpenWithEntriesUnchanged) {
    const std::vector<std::pair<QString, QString>> pairs = {
        {QStringLiteral("Secret-1"), QStringLiteral("secret-1")},  // differ only in case
        {QStringLiteral("abc"), QStringLiteral("abcd")},
        {QString(), QStringLiteral("x")},
        {QStringLiteral("汉字"), QStringLiteral("汉子")},
    };
    for (const auto& [first, second] : pairs) {
        ChangePasswordDialog dialog;
        kt::show_and_settle(&dialog);
        const kt::SeenMessage seen = type_twice_and_ok(dialog, first, second);
        ASSERT_TRUE(seen.shown) << first.toStdString();
        EXPECT_EQ(seen.text, QStringLiteral("两次输入不一致"));
        EXPECT_EQ(seen.caption, QStringLiteral("Pellorin"));
        EXPECT_EQ(seen.owner, &dialog);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(first_edit(dialog)->text(), first);
        EXPECT_EQ(second_edit(dialog)->text(), second);
        EXPECT_TRUE(dialog.new_password().empty());
    }
}

TEST(ChangePasswordDialog, CancelAfterAMismatchRejects) {
    ChangePasswordDialog dialog;
    kt::show_and_settle(&dialog);
    ASSERT_TRUE(type_twice_and_ok(dialog, QStringLiteral("one"), QStringLiteral("two")).shown);
    kt::child<QPushButton>(&dialog, "cancel_button")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.new_password().empty());
}

TEST(ChangePasswordDialog, AcceptsUpToFiftyNineBytesAndRefusesSixtyOrMore) {
    // 29 Chinese characters and one letter are 59 bytes; one more letter makes 60.
    const QString chinese29 = QString(29, QChar(0x6C49));  // 汉
    std::string bytes59;
    for (int i = 0; i < 29; ++i) bytes59 += "\xBA\xBA";
    bytes59 += "a";
    {
        ChangePasswordDialog dialog;
        kt::show_and_settle(&dialog);
        const QString entry = chinese29 + QStringLiteral("a");
        EXPECT_FALSE(type_twice_and_ok(dialog, entry, entry).shown);
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.new_password(), bytes59);
    }
    for (const QString& entry : {chinese29 + QStringLiteral("ab"), QString(60, QLatin1Char('a')),
                                 QString(30, QChar(0x6C49)), QString(200, QLatin1Char('b'))}) {
        ChangePasswordDialog dialog;
        kt::show_and_settle(&dialog);
        const kt::SeenMessage seen = type_twice_and_ok(dialog, entry, entry);
        ASSERT_TRUE(seen.shown) << entry.size();
        EXPECT_TRUE(seen.text.contains(QStringLiteral("59"))) << seen.text.toStdString();
        EXPECT_NE(seen.text, QStringLiteral("两次输入不一致"));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(first_edit(dialog)->text(), entry);
        EXPECT_EQ(second_edit(dialog)->text(), entry);
    }
}

TEST(ChangePasswordDialog, RefusesACharacterGbkCannotHoldNamingTheEntry) {
    const QString emoji = QStringLiteral("pw\U0001F600");
    {
        ChangePasswordDialog dialog;
        kt::show_and_settle(&dialog);
        const kt::SeenMessage seen = type_twice_and_ok(dialog, emoji, emoji);
        ASSERT_TRUE(seen.shown);
        EXPECT_TRUE(seen.text.contains(QStringLiteral("输入密码"))) << seen.text.toStdString();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    }
    {
        ChangePasswordDialog dialog;
        kt::show_and_settle(&dialog);
        const kt::SeenMessage seen = type_twice_and_ok(dialog, QStringLiteral("pw"), emoji);
        ASSERT_TRUE(seen.shown);
        EXPECT_TRUE(seen.text.contains(QStringLiteral("再次输入"))) << seen.text.toStdString();
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST(ChangePasswordDialog, OpensOnOkAndTabsThroughCancelAndBothEntries) {
    ChangePasswordDialog dialog;
    kt::show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改密码"));
    EXPECT_EQ(first_edit(dialog)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(second_edit(dialog)->echoMode(), QLineEdit::Password);
    const std::vector<QWidget*> expected = {kt::child<QPushButton>(&dialog, "ok_button"),
                                            kt::child<QPushButton>(&dialog, "cancel_button"),
                                            first_edit(dialog), second_edit(dialog)};
    EXPECT_EQ(kt::tab_cycle(&dialog), expected);

    // Enter from the first entry presses the default OK.
    first_edit(dialog)->setFocus();
    first_edit(dialog)->setText(QStringLiteral("same"));
    second_edit(dialog)->setText(QStringLiteral("same"));
    kt::expect_no_message([&] { kt::press_key(first_edit(dialog), Qt::Key_Return); });
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.new_password(), "same" + std::string(13, 'y'));
}

}  // namespace

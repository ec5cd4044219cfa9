// SPDX-License-Identifier: GPL-3.0-or-later
// CategoryNameDialog: the typed name as GBK, an empty name, cancel, and a name GBK cannot hold.
#include "gui/categories/category_name_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "support/modal_driver.h"

namespace {

namespace kt = korvane::test_support;
using korvane::CategoryNameDialog;

TEST(CategoryNameDialog, ReturnsTheTypedNameAsGbkAndAcceptsAnEmptyOne) {
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("请输入类别"));
        auto* edit = kt::child<QLineEdit>(&dialog, "name_edit");
        EXPECT_EQ(dialog.focusWidget(), edit);
        edit->setText(QStringLiteral("工作 'mail'"));
        kt::expect_no_message([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.category_name(), "\xB9\xA4\xD7\xF7 'mail'");
    }
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        kt::expect_no_message(
            [&] { kt::press_key(kt::child<QLineEdit>(&dialog, "name_edit"), Qt::Key_Return); });
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.category_name(), "");
    }
}

TEST(CategoryNameDialog, CancelRejectsAndANameGbkCannotHoldIsRefused) {
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        auto* cancel = kt::child<QPushButton>(&dialog, "cancel_button");
        EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(kt::child<QPushButton>(&dialog, "ok_button")->text(), QStringLiteral("OK"));
        cancel->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    {
        CategoryNameDialog dialog;
        kt::show_and_settle(&dialog);
        kt::child<QLineEdit>(&dialog, "name_edit")->setText(QStringLiteral("\U0001F4C1 files"));
        const kt::SeenMessage seen =
            kt::answer_message_box([&] { kt::child<QPushButton>(&dialog, "ok_button")->click(); });
        ASSERT_TRUE(seen.shown);
        EXPECT_TRUE(seen.text.contains(QStringLiteral("类别"))) << seen.text.toStdString();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    }
}

}  // namespace

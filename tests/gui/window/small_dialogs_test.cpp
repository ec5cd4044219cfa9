// CategoryNameDialog and AboutDialog.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/window/about_dialog.h"
#include "gui/window/category_name_dialog.h"
#include "support/modal_driver.h"

namespace {

namespace kt = korvane::testing;
using korvane::AboutDialog;
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

TEST(AboutDialog, ShowsTheVersionAndClosesWithOk) {
    AboutDialog dialog;
    kt::show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("关于 Korvane"));
    EXPECT_EQ(kt::child<QLabel>(&dialog, "version_label")->text(), QStringLiteral("Korvane V1.2"));
    EXPECT_FALSE(kt::child<QLabel>(&dialog, "credits_label")->text().isEmpty());
    kt::press_key(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// DeleteConfirmDialog: each way of answering, the buttons' order on screen, and repeated runs of
// one dialog object.
#include "gui/editor/delete_confirm_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPoint>
#include <QPushButton>
#include <string>
#include <vector>

#include "gui/common/run_modal.h"
#include "support/modal_driver.h"

namespace {

namespace kt = korvane::test_support;
using korvane::DeleteAnswer;
using korvane::DeleteConfirmDialog;

const std::string kQuestion = "\xCA\xC7\xB7\xF1\xC9\xBE\xB3\xFD  ";  // "是否删除  "

TEST(DeleteConfirmDialog, EachButtonEndsTheRunWithItsAnswer) {
    struct Case {
        const char* button;
        DeleteAnswer answer;
        int result;
    };
    const std::vector<Case> cases = {
        {"ok_button", DeleteAnswer::yes, QDialog::Accepted},
        {"no_button", DeleteAnswer::no, QDialog::Accepted},
        {"yes_to_all_button", DeleteAnswer::yes_to_all, QDialog::Accepted},
        {"cancel_button", DeleteAnswer::cancel, QDialog::Rejected},
    };
    for (const Case& c : cases) {
        DeleteConfirmDialog dialog;
        dialog.set_message(kQuestion + "x");
        kt::on_next_modal<DeleteConfirmDialog>(
            [&](DeleteConfirmDialog* shown) { kt::child<QPushButton>(shown, c.button)->click(); });
        EXPECT_EQ(dialog.exec(), c.result) << c.button;
        EXPECT_EQ(dialog.answer(), c.answer) << c.button;
    }
    EXPECT_EQ(static_cast<int>(DeleteAnswer::yes), 0);
    EXPECT_EQ(static_cast<int>(DeleteAnswer::no), 1);
    EXPECT_EQ(static_cast<int>(DeleteAnswer::yes_to_all), 2);
    EXPECT_EQ(static_cast<int>(DeleteAnswer::cancel), 3);
}

TEST(DeleteConfirmDialog, EnterAnswersYesEscapeAndTheCloseBoxCancel) {
    DeleteConfirmDialog dialog;
    dialog.set_message(kQuestion);

    kt::on_next_modal<DeleteConfirmDialog>(
        [](DeleteConfirmDialog* shown) { kt::press_key(shown->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer(), DeleteAnswer::yes);

    kt::on_next_modal<DeleteConfirmDialog>(
        [](DeleteConfirmDialog* shown) { kt::press_key(shown->focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(dialog.answer(), DeleteAnswer::cancel);

    // After a yes, so the close box cannot pass by leaving the previous answer in place.
    kt::on_next_modal<DeleteConfirmDialog>(
        [](DeleteConfirmDialog* shown) { kt::child<QPushButton>(shown, "ok_button")->click(); });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    kt::on_next_modal<DeleteConfirmDialog>([](DeleteConfirmDialog* shown) { shown->close(); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(dialog.answer(), DeleteAnswer::cancel);
}

TEST(DeleteConfirmDialog, ButtonsReadOkYesToAllNoCancelFromLeftToRight) {
    DeleteConfirmDialog dialog;
    kt::show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("删除"));
    const std::vector<std::pair<const char*, QString>> left_to_right = {
        {"ok_button", QStringLiteral("OK")},
        {"yes_to_all_button", QStringLiteral("全部是")},
        {"no_button", QStringLiteral("否")},
        {"cancel_button", QStringLiteral("取消")}};
    int previous_right = -1;
    for (const auto& [name, text] : left_to_right) {
        auto* button = kt::child<QPushButton>(&dialog, name);
        EXPECT_EQ(button->text(), text);
        EXPECT_TRUE(button->isVisible()) << name;
        EXPECT_GT(button->x(), previous_right) << name;
        previous_right = button->x() + button->width() - 1;
    }
    auto* ok = kt::child<QPushButton>(&dialog, "ok_button");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(dialog.focusWidget(), ok);
}

TEST(DeleteConfirmDialog, EachRunShowsTheCurrentMessageAndStartsOnOk) {
    DeleteConfirmDialog dialog;
    auto* label = kt::child<QLabel>(&dialog, "message_label");

    dialog.set_message(kQuestion + "\xB9\xA4\xD7\xF7");  // 工作
    kt::on_next_modal<DeleteConfirmDialog>([label](DeleteConfirmDialog* shown) {
        EXPECT_EQ(label->text(), QStringLiteral("是否删除  工作"));
        auto* no = kt::child<QPushButton>(shown, "no_button");
        no->setFocus();
        no->click();
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer(), DeleteAnswer::no);

    // A title that looks like markup is shown as typed.
    dialog.set_message(kQuestion + "<b>bank</b>");
    kt::on_next_modal<DeleteConfirmDialog>([label](DeleteConfirmDialog* shown) {
        EXPECT_EQ(label->text(), QStringLiteral("是否删除  <b>bank</b>"));
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        kt::press_key(shown->focusWidget(), Qt::Key_Return);
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer(), DeleteAnswer::yes);
    EXPECT_EQ(dialog.message(), kQuestion + "<b>bank</b>");
}

// The record list asks once per selected record; a window manager that adds its frame on each
// map left every question about 20 px lower than the one before.
TEST(DeleteConfirmDialog, EachRunComesUpWhereTheFirstDid) {
    DeleteConfirmDialog dialog;
    dialog.set_message(kQuestion);
    std::vector<QPoint> shown_at;
    for (int run = 0; run < 3; ++run) {
        kt::on_next_modal<DeleteConfirmDialog>([&](DeleteConfirmDialog* shown) {
            shown_at.push_back(shown->pos());
            // Where such a window manager leaves the hidden dialog for the next run.
            shown->move(shown->pos() + QPoint(0, 20));
            kt::child<QPushButton>(shown, "no_button")->click();
        });
        ASSERT_EQ(korvane::run_modal(dialog), QDialog::Accepted);
    }
    ASSERT_EQ(shown_at.size(), 3u);
    EXPECT_EQ(shown_at[1], shown_at[0]);
    EXPECT_EQ(shown_at[2], shown_at[0]);
}

}  // namespace

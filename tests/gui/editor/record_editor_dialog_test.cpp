// SPDX-License-Identifier: GPL-3.0-or-later
// RecordEditorDialog: captions and the password mask, saving and cancelling, Enter, the copy
// button, the strength bar, and bytes that must come back exactly as the caller gave them.
#include "gui/editor/record_editor_dialog.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "gui/common/strength_bar.h"
#include "support/modal_driver.h"
#include "vault/text.h"

namespace {

namespace kt = korvane::test_support;
using korvane::RecordEditorDialog;

QLineEdit* title_edit(RecordEditorDialog& d) { return kt::child<QLineEdit>(&d, "title_edit"); }
QLineEdit* account_edit(RecordEditorDialog& d) { return kt::child<QLineEdit>(&d, "account_edit"); }
QLineEdit* password_edit(RecordEditorDialog& d) {
    return kt::child<QLineEdit>(&d, "password_edit");
}
QPlainTextEdit* remark_edit(RecordEditorDialog& d) {
    return kt::child<QPlainTextEdit>(&d, "remark_edit");
}
QPushButton* save_button(RecordEditorDialog& d) {
    return kt::child<QPushButton>(&d, "save_button");
}

// A dialog as a caller opens it to modify a stored record (GBK bytes throughout).
void fill_stored_record(RecordEditorDialog& dialog) {
    dialog.set_caption(RecordEditorDialog::kModifyRecordCaption);
    dialog.set_title("\xB9\xA4\xD7\xF7 mail");  // 工作 mail
    dialog.set_account("me@example.org");
    dialog.set_password(
        "\xC3\xDC\xC2\xEB"
        "42");  // 密码42
    dialog.set_remark("line one\r\nline two");
}

TEST(RecordEditorDialog, CaptionBytesAreTheGbkOfTheChineseCaptions) {
    EXPECT_EQ(*korvane::text::to_gbk(QStringLiteral("新增记录"), {}),
              RecordEditorDialog::kNewRecordCaption);
    EXPECT_EQ(*korvane::text::to_gbk(QStringLiteral("修改记录"), {}),
              RecordEditorDialog::kModifyRecordCaption);
    EXPECT_EQ(*korvane::text::to_gbk(QStringLiteral("查看并修改记录"), {}),
              RecordEditorDialog::kViewRecordCaption);
}

TEST(RecordEditorDialog, OnlyANewRecordShowsItsPasswordInClear) {
    struct Case {
        std::string caption;
        QString shown_title;
        QLineEdit::EchoMode echo;
    };
    const std::vector<Case> cases = {
        {RecordEditorDialog::kNewRecordCaption, QStringLiteral("新增记录"), QLineEdit::Normal},
        {RecordEditorDialog::kModifyRecordCaption, QStringLiteral("修改记录"), QLineEdit::Password},
        {RecordEditorDialog::kViewRecordCaption, QStringLiteral("查看并修改记录"),
         QLineEdit::Password},
        // Byte for byte: the caption with a trailing blank is not the new-record caption.
        {std::string(RecordEditorDialog::kNewRecordCaption) + " ", QStringLiteral("新增记录 "),
         QLineEdit::Password},
    };
    for (const Case& c : cases) {
        RecordEditorDialog dialog;
        dialog.set_caption(c.caption);
        kt::show_and_settle(&dialog);
        EXPECT_EQ(dialog.windowTitle(), c.shown_title);
        EXPECT_EQ(password_edit(dialog)->echoMode(), c.echo) << c.shown_title.toStdString();
    }
}

TEST(RecordEditorDialog, RevealIconUnmasksAndMasksAgain) {
    RecordEditorDialog dialog;
    fill_stored_record(dialog);
    kt::show_and_settle(&dialog);
    auto* icon = kt::child<QToolButton>(&dialog, "reveal_button");
    ASSERT_EQ(password_edit(dialog)->echoMode(), QLineEdit::Password);
    icon->click();
    EXPECT_EQ(password_edit(dialog)->echoMode(), QLineEdit::Normal);
    icon->click();
    EXPECT_EQ(password_edit(dialog)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.isVisible());
}

TEST(RecordEditorDialog, ShowsTheCallersTextsAndSavesTheEditedOnes) {
    RecordEditorDialog dialog;
    fill_stored_record(dialog);
    kt::show_and_settle(&dialog);
    EXPECT_EQ(title_edit(dialog)->text(), QStringLiteral("工作 mail"));
    EXPECT_EQ(account_edit(dialog)->text(), QStringLiteral("me@example.org"));
    EXPECT_EQ(password_edit(dialog)->text(), QStringLiteral("密码42"));
    EXPECT_EQ(remark_edit(dialog)->toPlainText(), QStringLiteral("line one\nline two"));

    title_edit(dialog)->setText(QStringLiteral("我的 mail"));
    password_edit(dialog)->setText(QStringLiteral("new \"quoted\" 'pw'"));
    remark_edit(dialog)->setPlainText(QStringLiteral("汉字\nsecond\nthird"));
    kt::expect_no_message([&] { save_button(dialog)->click(); });

    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.title(), "\xCE\xD2\xB5\xC4 mail");
    EXPECT_EQ(dialog.account(), "me@example.org");
    EXPECT_EQ(dialog.password(), "new \"quoted\" 'pw'");
    // Line breaks are stored the way earlier installations stored them.
    EXPECT_EQ(dialog.remark(), "\xBA\xBA\xD7\xD6\r\nsecond\r\nthird");
}

TEST(RecordEditorDialog, SavingEmptyBoxesGivesFourEmptyTexts) {
    RecordEditorDialog dialog;
    dialog.set_caption(RecordEditorDialog::kNewRecordCaption);
    kt::show_and_settle(&dialog);
    kt::expect_no_message([&] { save_button(dialog)->click(); });
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.title(), "");
    EXPECT_EQ(dialog.account(), "");
    EXPECT_EQ(dialog.password(), "");
    EXPECT_EQ(dialog.remark(), "");

    // Boxes the user emptied come back empty too.
    RecordEditorDialog cleared;
    fill_stored_record(cleared);
    kt::show_and_settle(&cleared);
    title_edit(cleared)->clear();
    account_edit(cleared)->clear();
    password_edit(cleared)->clear();
    remark_edit(cleared)->clear();
    kt::expect_no_message([&] { save_button(cleared)->click(); });
    ASSERT_EQ(cleared.result(), QDialog::Accepted);
    EXPECT_EQ(cleared.title() + cleared.account() + cleared.password() + cleared.remark(), "");
}

TEST(RecordEditorDialog, EnterInTheSingleLineBoxesSavesAndInTheRemarkAddsALineBreak) {
    for (const char* box : {"title_edit", "account_edit", "password_edit"}) {
        RecordEditorDialog dialog;
        dialog.set_caption(RecordEditorDialog::kNewRecordCaption);
        kt::show_and_settle(&dialog);
        auto* edit = kt::child<QLineEdit>(&dialog, box);
        edit->setFocus();
        edit->setText(QStringLiteral("typed"));
        kt::expect_no_message([&] { kt::press_key(edit, Qt::Key_Return); });
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << box;
        EXPECT_FALSE(dialog.isVisible()) << box;
    }

    RecordEditorDialog dialog;
    dialog.set_caption(RecordEditorDialog::kNewRecordCaption);
    kt::show_and_settle(&dialog);
    QPlainTextEdit* remark = remark_edit(dialog);
    remark->setFocus();
    remark->setPlainText(QStringLiteral("ab"));
    remark->moveCursor(QTextCursor::End);
    kt::press_key(remark, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(remark->toPlainText(), QStringLiteral("ab\n"));

    // Save is not the default button: Enter on the focused Discard button discards.
    kt::child<QPushButton>(&dialog, "discard_button")->setFocus();
    kt::press_key(dialog.focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(save_button(dialog)->isDefault());
}

TEST(RecordEditorDialog, DiscardEscapeAndTheCloseBoxKeepTheCallersTexts) {
    enum class Way { discard, escape, close_box };
    for (Way way : {Way::discard, Way::escape, Way::close_box}) {
        RecordEditorDialog dialog;
        fill_stored_record(dialog);
        kt::show_and_settle(&dialog);
        title_edit(dialog)->setText(QStringLiteral("changed"));
        password_edit(dialog)->setText(QStringLiteral("changed"));
        remark_edit(dialog)->setPlainText(QStringLiteral("changed"));
        switch (way) {
            case Way::discard:
                kt::child<QPushButton>(&dialog, "discard_button")->click();
                break;
            case Way::escape:
                kt::press_key(title_edit(dialog), Qt::Key_Escape);
                break;
            case Way::close_box:
                dialog.close();
                break;
        }
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << static_cast<int>(way);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.title(), "\xB9\xA4\xD7\xF7 mail");
        EXPECT_EQ(dialog.password(),
                  "\xC3\xDC\xC2\xEB"
                  "42");
        EXPECT_EQ(dialog.remark(), "line one\r\nline two");
    }
}

TEST(RecordEditorDialog, CopyButtonCopiesWhatThePasswordBoxShowsMarkedSecret) {
    RecordEditorDialog dialog;
    fill_stored_record(dialog);
    kt::show_and_settle(&dialog);
    auto* copy = kt::child<QPushButton>(&dialog, "copy_button");

    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("密码42"));

    password_edit(dialog)->setText(QStringLiteral("edited since opening"));
    copy->click();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("edited since opening"));
    EXPECT_EQ(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));

    // Copying is not saving.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.password(),
              "\xC3\xDC\xC2\xEB"
              "42");
}

TEST(RecordEditorDialog, StrengthBarFollowsThePasswordAndNeverShowsIt) {
    RecordEditorDialog dialog;
    dialog.set_caption(RecordEditorDialog::kNewRecordCaption);
    dialog.set_password("Xq7!vR2@pL9#mZ");
    kt::show_and_settle(&dialog);
    auto* bar = kt::child<korvane::StrengthBar>(&dialog, "strength_bar");
    EXPECT_EQ(bar->level_text(), QStringLiteral("很强"));
    EXPECT_FALSE(
        kt::texts_exposed_by(bar).join(QChar(0)).contains(QStringLiteral("Xq7!vR2@pL9#mZ")));

    password_edit(dialog)->clear();
    QTest::keyClicks(password_edit(dialog), QStringLiteral("password"));
    EXPECT_EQ(bar->level_text(), QStringLiteral("很弱"));
    EXPECT_FALSE(kt::texts_exposed_by(bar).join(QChar(0)).contains(QStringLiteral("password")));
}

TEST(RecordEditorDialog, BytesThatAreNotGbkSurviveASaveThatLeavesTheirBoxAlone) {
    const std::string broken_title = "ok\x81\x20\xFF";
    const std::string broken_remark = "a\x80\x80z\r\nnext\rlone";
    RecordEditorDialog dialog;
    dialog.set_caption(RecordEditorDialog::kModifyRecordCaption);
    dialog.set_title(broken_title);
    dialog.set_account("\xFE");
    dialog.set_password("pw");
    dialog.set_remark(broken_remark);
    kt::show_and_settle(&dialog);
    password_edit(dialog)->setText(QStringLiteral("new"));
    kt::expect_no_message([&] { save_button(dialog)->click(); });
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.title(), broken_title);
    EXPECT_EQ(dialog.account(), "\xFE");
    EXPECT_EQ(dialog.password(), "new");
    EXPECT_EQ(dialog.remark(), broken_remark);
}

TEST(RecordEditorDialog, ABoxGbkCannotHoldIsNamedAndNothingIsSaved) {
    struct Case {
        const char* box;
        QString field;
    };
    const std::vector<Case> cases = {{"title_edit", QStringLiteral("标题")},
                                     {"account_edit", QStringLiteral("用户名")},
                                     {"password_edit", QStringLiteral("密码")},
                                     {"remark_edit", QStringLiteral("备注")}};
    for (const Case& c : cases) {
        RecordEditorDialog dialog;
        fill_stored_record(dialog);
        kt::show_and_settle(&dialog);
        title_edit(dialog)->setText(QStringLiteral("new title"));
        const QString emoji = QStringLiteral("smile \U0001F600");
        if (auto* line = qobject_cast<QLineEdit*>(kt::child<QWidget>(&dialog, c.box))) {
            line->setText(emoji);
        } else {
            remark_edit(dialog)->setPlainText(emoji);
        }
        const kt::SeenMessage seen = kt::answer_message_box([&] { save_button(dialog)->click(); });
        ASSERT_TRUE(seen.shown) << c.box;
        EXPECT_TRUE(seen.text.contains(c.field)) << seen.text.toStdString();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.focusWidget(), kt::child<QWidget>(&dialog, c.box));
        // Not even the boxes that did convert were taken.
        EXPECT_EQ(dialog.title(), "\xB9\xA4\xD7\xF7 mail");
    }

    // A box holding bytes that are not GBK, once edited, cannot be written back as shown.
    RecordEditorDialog dialog;
    dialog.set_caption(RecordEditorDialog::kModifyRecordCaption);
    dialog.set_account("x\xFF");
    kt::show_and_settle(&dialog);
    account_edit(dialog)->setText(account_edit(dialog)->text() + QStringLiteral("y"));
    const kt::SeenMessage seen = kt::answer_message_box([&] { save_button(dialog)->click(); });
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.text.contains(QStringLiteral("用户名"))) << seen.text.toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.account(), "x\xFF");
}

TEST(RecordEditorDialog, OpensOnDiscardAndTabsInResourceOrder) {
    RecordEditorDialog dialog;
    dialog.set_caption(RecordEditorDialog::kNewRecordCaption);
    kt::show_and_settle(&dialog);
    const std::vector<QWidget*> expected = {kt::child<QPushButton>(&dialog, "discard_button"),
                                            title_edit(dialog),
                                            account_edit(dialog),
                                            password_edit(dialog),
                                            remark_edit(dialog),
                                            save_button(dialog),
                                            kt::child<QPushButton>(&dialog, "copy_button")};
    EXPECT_EQ(kt::tab_cycle(&dialog), expected);
    EXPECT_EQ(kt::child<QPushButton>(&dialog, "discard_button")->text(), QStringLiteral("放弃"));
    EXPECT_EQ(save_button(dialog)->text(), QStringLiteral("保存(&S)"));
}

}  // namespace

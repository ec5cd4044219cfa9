// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordGeneratorDialog: each check box chooses its characters, refusals, copying, and the
// strength bar.
#include "gui/tools/password_generator_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "gui/common/strength_bar.h"
#include "support/modal_driver.h"
#include "tool_dialog_fixture.h"

namespace korvane::test_support {
namespace {

struct ClassBox {
    const char* name;
    QString text;
    QString characters;  // written out here, not taken from the generator
};

const std::vector<ClassBox> kBoxes = {
    {"lower_check", "abcd.....", "abcdefghijklmnopqrstuvwxyz"},
    {"upper_check", "ABCD...", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    {"digit_check", "1234....", "0123456789"},
    {"symbol_check", "!@#$.....", "!@#$%^&*_-+=?"},
};

// Presses OK with the named boxes checked and length set; returns the messages shown.
std::vector<SeenMessage> generate(PasswordGeneratorDialog& dialog, const QStringList& checked,
                                  int length) {
    for (const ClassBox& box : kBoxes) {
        child<QCheckBox>(&dialog, box.name)->setChecked(checked.contains(box.name));
    }
    child<QSpinBox>(&dialog, "length_spin")->setValue(length);
    return answer_messages([&] { child<QPushButton>(&dialog, "ok_button")->click(); });
}

QString generated(PasswordGeneratorDialog& dialog) {
    return child<QLineEdit>(&dialog, "password_edit")->text();
}

TEST(PasswordGeneratorDialog, ShowsTheDescribedTextsLengthRangeAndTabOrder) {
    PasswordGeneratorDialog dialog;
    show_and_settle(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("产生密码"));
    for (const ClassBox& box : kBoxes) {
        EXPECT_EQ(child<QCheckBox>(&dialog, box.name)->text(), box.text);
        EXPECT_FALSE(child<QCheckBox>(&dialog, box.name)->isChecked());
    }
    auto* spin = child<QSpinBox>(&dialog, "length_spin");
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 50);
    EXPECT_FALSE(
        child<QLabel>(&dialog, "note_label")->text().contains(QStringLiteral("下一个版本")));
    EXPECT_FALSE(child<QPushButton>(&dialog, "copy_button")->isEnabled());

    std::vector<QWidget*> expected = {child<QLineEdit>(&dialog, "password_edit")};
    for (const ClassBox& box : kBoxes) expected.push_back(child<QCheckBox>(&dialog, box.name));
    expected.push_back(spin);
    expected.push_back(child<QPushButton>(&dialog, "ok_button"));
    expected.push_back(child<QPushButton>(&dialog, "cancel_button"));
    EXPECT_EQ(tab_cycle(&dialog), expected);
}

TEST(PasswordGeneratorDialog, OkFillsTheBoxFromTheCheckedClassesAndStaysOpen) {
    PasswordGeneratorDialog dialog;
    show_and_settle(&dialog);
    for (const ClassBox& box : kBoxes) {
        EXPECT_TRUE(generate(dialog, {box.name}, 30).empty());
        const QString password = generated(dialog);
        EXPECT_EQ(password.size(), 30) << box.name;
        for (QChar c : password) EXPECT_TRUE(box.characters.contains(c)) << box.name;
    }

    EXPECT_TRUE(generate(dialog, {"lower_check", "digit_check"}, 2).empty());
    const QString two = generated(dialog);
    ASSERT_EQ(two.size(), 2);
    // One of each class, in either order.
    EXPECT_TRUE(kBoxes[0].characters.contains(two[0]) != kBoxes[0].characters.contains(two[1]));
    EXPECT_TRUE(kBoxes[2].characters.contains(two[0]) != kBoxes[2].characters.contains(two[1]));

    // Enter in the length box generates as well.
    auto* spin = child<QSpinBox>(&dialog, "length_spin");
    spin->setFocus();
    spin->setValue(50);
    expect_no_message([&] { press_key(spin, Qt::Key_Return); });
    EXPECT_EQ(generated(dialog).size(), 50);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST(PasswordGeneratorDialog, NoClassOrTooShortALengthIsRefusedAndKeepsTheLastPassword) {
    PasswordGeneratorDialog dialog;
    show_and_settle(&dialog);
    auto seen = generate(dialog, {}, 12);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, QStringLiteral("错误"));
    EXPECT_TRUE(generated(dialog).isEmpty());

    ASSERT_TRUE(generate(dialog, {"upper_check"}, 8).empty());
    const QString kept = generated(dialog);
    seen = generate(dialog, {"lower_check", "upper_check", "digit_check", "symbol_check"}, 3);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(generated(dialog), kept);
}

TEST(PasswordGeneratorDialog, CopyPutsThePasswordOnTheClipboardAsASecret) {
    QApplication::clipboard()->setText(QStringLiteral("before"));
    PasswordGeneratorDialog dialog;
    show_and_settle(&dialog);
    ASSERT_TRUE(generate(dialog, {"digit_check"}, 10).empty());
    auto* copy = child<QPushButton>(&dialog, "copy_button");
    ASSERT_TRUE(copy->isEnabled());
    copy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), generated(dialog));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));

    child<QPushButton>(&dialog, "cancel_button")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(PasswordGeneratorDialog, StrengthBarFollowsGeneratedAndTypedPasswordsAndNeverShowsThem) {
    PasswordGeneratorDialog dialog;
    show_and_settle(&dialog);
    auto* bar = child<StrengthBar>(&dialog, "strength_bar");
    ASSERT_TRUE(generate(dialog, {"lower_check", "upper_check", "digit_check"}, 30).empty());
    EXPECT_EQ(bar->level_text(), QStringLiteral("很强"));
    EXPECT_FALSE(texts_exposed_by(bar).join(QChar(0)).contains(generated(dialog)));

    auto* edit = child<QLineEdit>(&dialog, "password_edit");
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("password"));
    EXPECT_EQ(bar->level_text(), QStringLiteral("很弱"));
    EXPECT_FALSE(texts_exposed_by(bar).join(QChar(0)).contains(QStringLiteral("password")));
}

}  // namespace
}  // namespace korvane::test_support

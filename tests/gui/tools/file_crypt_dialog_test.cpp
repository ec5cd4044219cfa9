// SPDX-License-Identifier: GPL-3.0-or-later
// FileCryptDialog: password checks, the result files beside the chosen one, and a round trip
// checked against an independent MARS.
#include "gui/tools/file_crypt_dialog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/tools/tool_commands.h"
#include "support/file_helpers.h"
#include "support/modal_driver.h"
#include "support/reference_cipher.h"
#include "tool_dialog_fixture.h"

namespace korvane::test_support {
namespace {

const QString kKey = QStringLiteral("a file key of 24 bytes..");  // 24 ASCII bytes

class FileCryptDialogTest : public ToolDialogTest {
protected:
    // A shown dialog holding kKey in both boxes and path in the path box.
    std::unique_ptr<FileCryptDialog> open_dialog(const QString& path) {
        auto dialog = std::make_unique<FileCryptDialog>(kKey, SessionFiles(session()), chooser_);
        show_and_settle(dialog.get());
        child<QLineEdit>(dialog.get(), "path_edit")->setText(path);
        return dialog;
    }
    static void click(QWidget* dialog, const char* button) {
        child<QPushButton>(dialog, button)->click();
    }
};

TEST_F(FileCryptDialogTest, OpensWithTheMasterPasswordInBothBoxesAndBothActionsEnabled) {
    on_next_modal<FileCryptDialog>([](FileCryptDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("文件加密"));
        for (const char* edit : {"password_edit", "password_again_edit"}) {
            EXPECT_EQ(child<QLineEdit>(dialog, edit)->text(), QStringLiteral("masteryyyyyyyyyyy"));
            EXPECT_EQ(child<QLineEdit>(dialog, edit)->echoMode(), QLineEdit::Password);
        }
        EXPECT_TRUE(child<QPushButton>(dialog, "encrypt_button")->isEnabled());
        EXPECT_TRUE(child<QPushButton>(dialog, "decrypt_button")->isEnabled());
        const QString note = child<QLabel>(dialog, "note_label")->text();
        EXPECT_TRUE(note.contains(QStringLiteral(".enc")) &&
                    note.contains(QStringLiteral(".decrypted")))
            << note.toStdString();

        const std::vector<QWidget*> expected = {child<QLineEdit>(dialog, "path_edit"),
                                                child<QPushButton>(dialog, "browse_button"),
                                                child<QLineEdit>(dialog, "password_edit"),
                                                child<QLineEdit>(dialog, "password_again_edit"),
                                                child<QPushButton>(dialog, "encrypt_button"),
                                                child<QPushButton>(dialog, "decrypt_button"),
                                                child<QPushButton>(dialog, "cancel_button")};
        EXPECT_EQ(tab_cycle(dialog), expected);
        child<QPushButton>(dialog, "cancel_button")->click();
    });
    encrypt_file_tool(&owner_, session());
}

TEST_F(FileCryptDialogTest, DifferingEntriesSayThePasswordIsWrongAndTouchNothing) {
    write_file(file("plain.txt"), "hello");
    auto dialog = open_dialog(file("plain.txt"));
    child<QLineEdit>(dialog.get(), "password_again_edit")->setText(kKey + QStringLiteral("x"));
    for (const char* button : {"encrypt_button", "decrypt_button"}) {
        const auto seen = answer_messages([&] { click(dialog.get(), button); });
        ASSERT_EQ(seen.size(), 1u) << button;
        EXPECT_EQ(seen[0].text, QStringLiteral("密码不正确"));
        EXPECT_EQ(seen[0].caption, QStringLiteral("错误"));
    }
    EXPECT_EQ(files(), QStringList{QStringLiteral("plain.txt")});
    EXPECT_EQ(read_file(file("plain.txt")), "hello");
}

TEST_F(FileCryptDialogTest, PasswordsThatMakeNoKeyAreRefusedBeforeAnyFileIsRead) {
    write_file(file("plain.txt"), "hello");
    for (const QString& password :
         {QStringLiteral("fifteen bytes.."), QString(60, QLatin1Char('k'))}) {
        auto dialog = open_dialog(file("plain.txt"));
        child<QLineEdit>(dialog.get(), "password_edit")->setText(password);
        child<QLineEdit>(dialog.get(), "password_again_edit")->setText(password);
        for (const char* button : {"encrypt_button", "decrypt_button"}) {
            const auto seen = answer_messages([&] { click(dialog.get(), button); });
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].caption, QStringLiteral("错误"));
            EXPECT_TRUE(seen[0].text.contains(QStringLiteral("16"))) << seen[0].text.toStdString();
        }
    }
    EXPECT_EQ(files(), QStringList{QStringLiteral("plain.txt")});
}

TEST_F(FileCryptDialogTest, EncryptThenDecryptRoundTripsThroughNewFilesAskingBeforeReplacing) {
    const std::string plain = "twenty bytes of text";
    write_file(file("report.txt"), plain);
    auto dialog = open_dialog(file("report.txt"));

    auto seen = answer_messages([&] { click(dialog.get(), "encrypt_button"); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QStringLiteral("加密成功"));
    EXPECT_EQ(seen[0].caption, QStringLiteral("成功啦"));
    EXPECT_EQ(read_file(file("report.txt")), plain);
    const std::string sealed = read_file(file("report.txt.enc"));
    ASSERT_EQ(sealed.size(), 33u);
    EXPECT_EQ(sealed[0], 12);
    EXPECT_EQ(reference_mars_ecb(kKey.toStdString(), sealed.substr(1), false).substr(0, 20), plain);

    // Deciphering report.txt.enc proposes report.txt, which exists: declining leaves it.
    write_file(file("report.txt"), "edited since");
    child<QLineEdit>(dialog.get(), "path_edit")->setText(file("report.txt.enc"));
    seen = answer_messages([&] { click(dialog.get(), "decrypt_button"); }, {QMessageBox::Cancel});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].text.contains(QDir::toNativeSeparators(file("report.txt"))));
    EXPECT_EQ(read_file(file("report.txt")), "edited since");

    seen = answer_messages([&] { click(dialog.get(), "decrypt_button"); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].text, QStringLiteral("解密成功"));
    EXPECT_EQ(seen[1].caption, QStringLiteral("成功啦"));
    EXPECT_EQ(read_file(file("report.txt")), plain);
    EXPECT_EQ(read_file(file("report.txt.enc")), sealed);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(FileCryptDialogTest, DecryptingNeverReplacesTheEncipheredFile) {
    // A file without ".enc" deciphers into "<name>.decrypted"; a wrong password cannot be
    // recognised, but its useless output lands beside the intact source.
    const std::string sealed =
        std::string(1, '\x0b') + reference_mars_ecb(kKey.toStdString(), std::string(16, 'p'), true);
    write_file(file("blob"), sealed);
    auto dialog = open_dialog(file("blob"));
    child<QLineEdit>(dialog.get(), "password_edit")
        ->setText(QStringLiteral("another key of 24 bytes."));
    child<QLineEdit>(dialog.get(), "password_again_edit")
        ->setText(QStringLiteral("another key of 24 bytes."));
    auto seen = answer_messages([&] { click(dialog.get(), "decrypt_button"); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QStringLiteral("解密成功"));
    EXPECT_EQ(read_file(file("blob")), sealed);
    EXPECT_EQ(read_file(file("blob.decrypted")).size(), 5u);

    // A file of the wrong length is refused by the tool; nothing is written.
    write_file(file("odd.enc"), std::string(20, '\x01'));
    child<QLineEdit>(dialog.get(), "path_edit")->setText(file("odd.enc"));
    seen = answer_messages([&] { click(dialog.get(), "decrypt_button"); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
    EXPECT_FALSE(files().contains(QStringLiteral("odd")));
    EXPECT_EQ(read_file(file("odd.enc")), std::string(20, '\x01'));

    // Deciphering a copy kept in the vault's folder would write user.dat: refused before the
    // replace question, the vault file untouched.
    const QString copy = QDir(session().vault_dir()).filePath("user.dat.enc");
    write_file(copy, sealed);
    const QString vault_file = QDir(session().vault_dir()).filePath("user.dat");
    write_file(vault_file, "sealed vault");
    child<QLineEdit>(dialog.get(), "path_edit")->setText(copy);
    seen = answer_messages([&] { click(dialog.get(), "decrypt_button"); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
    EXPECT_TRUE(seen[0].text.contains(QDir::toNativeSeparators(vault_file)))
        << seen[0].text.toStdString();
    EXPECT_EQ(read_file(vault_file), "sealed vault");
}

}  // namespace
}  // namespace korvane::test_support

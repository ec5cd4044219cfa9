// SPDX-License-Identifier: GPL-3.0-or-later
// The record list's data exchange commands: CSV and backup export, import and sync, driven
// through their dialogs against a real unlocked vault.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "gui/auth/login_dialog.h"
#include "gui/tools/import_dialog.h"
#include "gui/tools/sync_dialog.h"
#include "gui/tools/tool_commands.h"
#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/legacy_files.h"
#include "support/modal_driver.h"
#include "support/scratch_vault.h"
#include "tool_dialog_fixture.h"

namespace korvane::test_support {
namespace {

using test_support::RawRow;
using test_support::RawSqlite;

class ExchangeCommands : public ToolDialogTest {};

const std::string kLegacyPassword = "legacyyyyyyyyyyyy";  // "legacy" as the prompt pads it

// The next LoginDialog gets password typed and confirmed, or is cancelled for nullopt.
void answer_login(std::optional<QString> password) {
    on_next_modal<LoginDialog>([password](LoginDialog* prompt) {
        if (!password) {
            prompt->reject();
            return;
        }
        child<QLineEdit>(prompt, "password_edit")->setText(*password);
        child<QPushButton>(prompt, "ok_button")->click();
    });
}

TEST_F(ExchangeCommands, CsvOfAnEmptyVaultSaysSoWithoutAskingForAFile) {
    const auto seen = answer_messages([&] { export_csv(&owner_, session()); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QStringLiteral("没有记录可以导出"));
    EXPECT_EQ(seen[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(seen[0].owner, &owner_);
    EXPECT_TRUE(chooser_.save_calls.empty());
}

TEST_F(ExchangeCommands, CsvGoesSilentlyToTheChosenFileAndNowhereWhenCancelled) {
    add_record({gbk("邮箱"), "me", "pw1", "", "A"});
    add_record({"bank", "", "pw2", gbk("备注"), "B"});

    chooser_.answers = {QString()};
    expect_no_message([&] { export_csv(&owner_, session()); });
    EXPECT_TRUE(files().isEmpty());

    chooser_.answers = {file("out.csv")};
    expect_no_message([&] { export_csv(&owner_, session()); });
    EXPECT_EQ(read_file(file("out.csv")), gbk("标题,用户名,密码,备注") + "\r\n" + gbk("邮箱") +
                                              ",me,pw1,\r\nbank,,pw2," + gbk("备注") + "\r\n");
    ASSERT_EQ(chooser_.save_calls.size(), 2u);
    EXPECT_EQ(chooser_.save_calls[1].owner, &owner_);
    EXPECT_EQ(chooser_.save_calls[1].filter, QStringLiteral("逗号分隔文本文件 (*.csv)"));
    EXPECT_EQ(chooser_.save_calls[1].default_suffix, QStringLiteral("csv"));
}

TEST_F(ExchangeCommands, BackupCopiesTheVaultToTheChosenFileAndNowhereWhenCancelled) {
    add_record({"mail", "me", "pw1", "r", "A"});
    add_category("A");

    chooser_.answers = {QString()};
    expect_no_message([&] { export_backup(&owner_, session()); });
    EXPECT_TRUE(files().isEmpty());

    chooser_.answers = {file("copy.dat")};
    expect_no_message([&] { export_backup(&owner_, session()); });
    RawSqlite copy(file("copy.dat"));
    EXPECT_EQ(copy.rows("select bt,name,pass,bz,type from userpass"),
              (std::vector<RawRow>{{"mail", "me", "pw1", "r", "A"}}));
    EXPECT_EQ(copy.value("select pass from userad"), test_support::RawValue(kMasterPassword));
    EXPECT_EQ(chooser_.save_calls[1].filter, QStringLiteral("无加密的备份数据库文件 (*.dat)"));
    EXPECT_EQ(chooser_.save_calls[1].default_suffix, QStringLiteral("dat"));
}

TEST_F(ExchangeCommands, ExportsToAnUnwritablePlaceAreReported) {
    add_record({"mail", "me", "pw1", "r", "A"});
    const QString nowhere = file("missing-folder/out.csv");
    chooser_.answers = {nowhere, nowhere};
    for (auto command : {export_csv, export_backup}) {
        const auto seen = answer_messages([&] { command(&owner_, session()); });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
        EXPECT_TRUE(seen[0].text.contains(QStringLiteral("out.csv"))) << seen[0].text.toStdString();
    }
    EXPECT_TRUE(files().isEmpty());
}

// The chooser has already had the user agree to replace the file; the vault's own files are
// refused all the same, and the vault stays whole.
TEST_F(ExchangeCommands, ExportsOntoTheVaultsOwnFilesAreRefused) {
    add_record({"mail", "me", "pw1", "r", "A"});
    const QString journal = session().files().vault_journal();
    const QString lock = QDir(session().vault_dir()).filePath("user.lock");
    using Command = void (*)(QWidget*, VaultSession&);
    for (const auto& [command, target] : {std::pair<Command, QString>{export_csv, journal},
                                          std::pair<Command, QString>{export_backup, lock}}) {
        chooser_.answers = {target};
        const auto seen = answer_messages([&] { command(&owner_, session()); });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
        EXPECT_TRUE(seen[0].text.contains(QDir::toNativeSeparators(target)))
            << seen[0].text.toStdString();
    }
    EXPECT_EQ(records(), (std::vector<RawRow>{{"mail", "me", "pw1", "r", "A"}}));
    EXPECT_TRUE(session().db().exec("select 1").ok());
}

TEST_F(ExchangeCommands, DatabaseImportFromABrowsedFileAddsEverythingAndAsksForAFullReload) {
    add_record({"kept", "", "", "", ""});
    write_source_vault(file("backup.dat"),
                       {{"t1", "a1", "p1", "b1", "work"}, {"t2", "a2", "p2", "", ""}},
                       {"work", "home"});
    chooser_.answers = {file("backup.dat")};

    bool dialog_stayed_open = false;
    on_next_modal<ImportDialog>([&](ImportDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("导入数据库"));
        child<QPushButton>(dialog, "browse_button")->click();
        EXPECT_EQ(child<QLineEdit>(dialog, "path_edit")->text(), file("backup.dat"));
        expect_no_message([&] { child<QPushButton>(dialog, "import_database_button")->click(); });
        dialog_stayed_open = dialog->isVisible();
        dialog->reject();
    });
    const VaultChange change = import_records(&owner_, session());

    EXPECT_TRUE(dialog_stayed_open);
    EXPECT_TRUE(change.records);
    EXPECT_TRUE(change.categories);
    EXPECT_EQ(records(), (std::vector<RawRow>{{"kept", "", "", "", ""},
                                              {"t1", "a1", "p1", "b1", "work"},
                                              {"t2", "a2", "p2", "", ""}}));
    EXPECT_EQ(categories(), (std::vector<std::string>{"work", "home"}));
    ASSERT_EQ(chooser_.open_calls.size(), 1u);
}

TEST_F(ExchangeCommands, DatabaseImportUsesATypedPathAndRefusesAFileThatIsNoVault) {
    write_source_vault(file("typed.dat"), {{"t1", "a1", "p1", "b1", "c"}}, {});
    write_file(file("notes.txt"), "just some text, not a database");

    ImportDialog dialog(session().db(), chooser_);
    show_and_settle(&dialog);
    auto* path = child<QLineEdit>(&dialog, "path_edit");
    auto* import = child<QPushButton>(&dialog, "import_database_button");

    path->setText(file("notes.txt"));
    const auto refused = answer_messages([&] { import->click(); });
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].caption, QStringLiteral("出错啦"));
    EXPECT_TRUE(refused[0].text.contains(QStringLiteral("不是可读取的密码库数据库")))
        << refused[0].text.toStdString();
    EXPECT_TRUE(records().empty());

    path->clear();
    QTest::keyClicks(path, file("typed.dat"));
    expect_no_message([&] { import->click(); });
    EXPECT_EQ(records(), (std::vector<RawRow>{{"t1", "a1", "p1", "b1", "c"}}));
    EXPECT_TRUE(chooser_.open_calls.empty());
}

TEST_F(ExchangeCommands, OldAndNewVaultFilesImportAfterTheRightPasswordAndCloseTheDialog) {
    write_file(file("old.dat"),
               seal_legacy(1, kLegacyPassword,
                           old_body({old_slot(gbk("邮箱"), "me", "pw1", std::string(255, 'r')),
                                     old_slot("bank", "", "pw2", "")})));
    write_file(file("new.dat"),
               seal_legacy(0, kLegacyPassword, pad_to_blocks(new_record("A", "B", "C", "D"))));

    for (const char* button : {"import_old_button", "import_new_button"}) {
        ImportDialog dialog(session().db(), chooser_);
        show_and_settle(&dialog);
        child<QLineEdit>(&dialog, "path_edit")
            ->setText(file(std::string(button) == "import_old_button" ? "old.dat" : "new.dat"));
        answer_login(QStringLiteral("legacy"));
        expect_no_message([&] { child<QPushButton>(&dialog, button)->click(); });
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << button;
        EXPECT_FALSE(dialog.isVisible()) << button;
    }
    EXPECT_EQ(records(), (std::vector<RawRow>{{gbk("邮箱"), "me", "pw1", std::string(255, 'r'), ""},
                                              {"bank", "", "pw2", "", ""},
                                              {"A", "C", "D", "B", ""}}));
}

TEST_F(ExchangeCommands, CancelledOrWrongLegacyPasswordEndsOnlyThatImport) {
    write_file(file("old.dat"),
               seal_legacy(0, kLegacyPassword, old_body({old_slot("t", "a", "p", "r")})));
    ImportDialog dialog(session().db(), chooser_);
    show_and_settle(&dialog);
    child<QLineEdit>(&dialog, "path_edit")->setText(file("old.dat"));
    auto* import_old = child<QPushButton>(&dialog, "import_old_button");

    answer_login(std::nullopt);
    expect_no_message([&] { import_old->click(); });
    EXPECT_TRUE(dialog.isVisible());

    answer_login(QStringLiteral("not the one"));
    const auto seen = answer_messages([&] { import_old->click(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QStringLiteral("密码错误"));
    EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
    EXPECT_TRUE(dialog.isVisible());

    EXPECT_TRUE(records().empty());
    ASSERT_TRUE(session().is_unlocked());
    // The session goes on: the vault still locks and opens under its own password.
    session_ = vault_.relock(std::move(session_), kMasterPassword);
    EXPECT_TRUE(session_);
}

TEST_F(ExchangeCommands, MalformedOrMissingLegacyFileIsRefusedBeforeThePasswordIsAsked) {
    write_file(file("short.dat"), std::string(100, 'x'));
    ImportDialog dialog(session().db(), chooser_);
    show_and_settle(&dialog);
    auto* path = child<QLineEdit>(&dialog, "path_edit");
    // Cancels and counts every password prompt, so one that should not appear fails the test
    // instead of blocking it.
    int prompts = 0;
    ModalDriver watcher(ModalDriver::Unexpected::Ignore);
    watcher.every<LoginDialog>([&prompts](LoginDialog* prompt) {
        ++prompts;
        prompt->reject();
    });

    path->setText(file("short.dat"));
    auto seen = answer_messages([&] { child<QPushButton>(&dialog, "import_old_button")->click(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
    EXPECT_TRUE(seen[0].text.contains(QStringLiteral("不是有效的旧版密码库文件")))
        << seen[0].text.toStdString();

    // A new file given to the old button: the dialog says which button it needs.
    write_file(file("new.dat"),
               seal_legacy(0, kLegacyPassword, pad_to_blocks(new_record("A", "B", "C", "D"))));
    path->setText(file("new.dat"));
    seen = answer_messages([&] { child<QPushButton>(&dialog, "import_old_button")->click(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].text.contains(QStringLiteral("看起来是新格式的密码库文件")))
        << seen[0].text.toStdString();

    path->setText(file("absent.dat"));
    seen = answer_messages([&] { child<QPushButton>(&dialog, "import_new_button")->click(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].text.startsWith(QStringLiteral("数据库不存在")))
        << seen[0].text.toStdString();

    EXPECT_EQ(prompts, 0);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(records().empty());
}

TEST_F(ExchangeCommands, SyncReportsTheAddedRecordsToTheOwnerAndWhenTheTreeNeedsReloading) {
    add_record({"same", "a", "p", "b", "work"});
    add_category("work");
    write_source_vault(file("other.dat"),
                       {{"same", "a", "p", "b", "work"},
                        {"same", "a", "p", "b", "home"},
                        {"new", "", "", "", ""},
                        {"new", "", "", "", ""}},
                       {"work", "home"});

    auto run_sync = [&](VaultChange& change) {
        chooser_.answers.push_back(file("other.dat"));
        on_next_modal<SyncDialog>([](SyncDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("数据库同步工具"));
            child<QPushButton>(dialog, "browse_button")->click();
            child<QPushButton>(dialog, "sync_button")->click();
        });
        return answer_messages([&] { change = sync_records(&owner_, session()); });
    };

    VaultChange first;
    auto seen = run_sync(first);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QStringLiteral("数据库同步成功，共同步了2条数据"));
    EXPECT_EQ(seen[0].caption, QStringLiteral("成功"));
    EXPECT_EQ(seen[0].owner, &owner_);
    EXPECT_TRUE(first.records);
    EXPECT_TRUE(first.categories);
    EXPECT_EQ(categories(), (std::vector<std::string>{"work", "home"}));
    EXPECT_EQ(records().size(), 3u);

    VaultChange second;
    seen = run_sync(second);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QStringLiteral("数据库同步成功，共同步了0条数据"));
    EXPECT_TRUE(second.records);
    EXPECT_FALSE(second.categories);
    EXPECT_EQ(records().size(), 3u);
}

TEST_F(ExchangeCommands, SyncOfAFileThatIsNoVaultSaysSoAndCloseReportsNothing) {
    write_file(file("user.dat"), std::string(4096, '\x5a'));
    bool stayed_open = false;
    bool synced = true;
    on_next_modal<SyncDialog>([&](SyncDialog* dialog) {
        child<QLineEdit>(dialog, "path_edit")->setText(file("user.dat"));
        child<QPushButton>(dialog, "sync_button")->click();
        stayed_open = dialog->isVisible();
        synced = dialog->synced();
        child<QPushButton>(dialog, "close_button")->click();
    });
    VaultChange change;
    const auto seen = answer_messages([&] { change = sync_records(&owner_, session()); });

    // One message, the refusal; no success message follows the close.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, QStringLiteral("出错啦"));
    EXPECT_TRUE(seen[0].text.contains(QStringLiteral("不是可读取的密码库数据库")))
        << seen[0].text.toStdString();
    EXPECT_TRUE(stayed_open);
    EXPECT_FALSE(synced);
    EXPECT_TRUE(change.records);
    EXPECT_FALSE(change.categories);
    EXPECT_TRUE(records().empty());
}

TEST_F(ExchangeCommands, ImportAndSyncDialogsTabThroughTheirControlsInTheDescribedOrder) {
    ImportDialog import(session().db(), chooser_);
    show_and_settle(&import);
    const std::vector<QWidget*> import_order = {
        child<QLineEdit>(&import, "path_edit"), child<QPushButton>(&import, "browse_button"),
        child<QPushButton>(&import, "import_old_button"),
        child<QPushButton>(&import, "import_new_button"),
        child<QPushButton>(&import, "import_database_button")};
    EXPECT_EQ(tab_cycle(&import), import_order);

    SyncDialog sync(session().db(), chooser_);
    show_and_settle(&sync);
    const std::vector<QWidget*> sync_order = {
        child<QLineEdit>(&sync, "path_edit"), child<QPushButton>(&sync, "browse_button"),
        child<QPushButton>(&sync, "sync_button"), child<QPushButton>(&sync, "close_button")};
    EXPECT_EQ(tab_cycle(&sync), sync_order);
    EXPECT_TRUE(child<QPushButton>(&sync, "close_button")->isDefault());
}

TEST(QtFileChooser, SaveDialogOffersTheFilterAddsTheSuffixAndConfirmsReplacing) {
    QTemporaryDir dir;
    write_file(dir.filePath("old.csv"), "old");
    QtFileChooser chooser;
    const QString filter = QStringLiteral("逗号分隔文本文件 (*.csv)");
    auto choose = [&](const QString& name) {
        on_next_modal<QFileDialog>([&, name](QFileDialog* dialog) {
            EXPECT_EQ(dialog->nameFilters(), QStringList{filter});
            EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->selectFile(dir.filePath(name));
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
        });
        return chooser.save_file(nullptr, save_caption(), filter, QStringLiteral("csv"));
    };

    QString chosen;
    expect_no_message([&] { chosen = choose(QStringLiteral("new")); });
    EXPECT_EQ(chosen, dir.filePath("new.csv"));

    const auto seen =
        answer_messages([&] { chosen = choose(QStringLiteral("old.csv")); }, {QMessageBox::Yes});
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(chosen, dir.filePath("old.csv"));
}

}  // namespace
}  // namespace korvane::test_support

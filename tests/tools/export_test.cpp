// CSV export and backup export: the exact bytes written, replacing targets, and failures.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/file_helpers.h"
#include "tool_test_support.h"
#include "tools/backup_export.h"
#include "tools/csv_export.h"

namespace korvane::tools {
namespace {

using namespace korvane::testing;

std::string header_line() { return gbk("标题,用户名,密码,备注") + "\r\n"; }

TEST(CsvExportTest, EmptyVaultIsRefusedWithTheFixedMessage) {
    ScratchVault vault;
    vault.add_category("Work");
    auto csv = build_csv(vault.db());
    ASSERT_FALSE(csv.ok());
    EXPECT_EQ(csv.error(), QStringLiteral("没有记录可以导出"));
}

TEST(CsvExportTest, WritesHeaderAndOneCrLfLinePerRecordWithoutCategory) {
    ScratchVault vault;
    vault.add_record({"mail", "", "p1", "", "Hidden-Category"});
    vault.add_record({gbk("银行"), "me", "p2", gbk("备注文字"), "Hidden-Category"});
    const std::string before = read_file(vault.path());

    auto csv = build_csv(vault.db());
    ASSERT_TRUE(csv.ok()) << csv.error().toStdString();
    // Empty middle field: two adjacent commas; empty remark: comma right before CR LF.
    EXPECT_EQ(*csv,
              header_line() + "mail,,p1,\r\n" + gbk("银行") + ",me,p2," + gbk("备注文字") + "\r\n");
    EXPECT_EQ(csv->find("Hidden-Category"), std::string::npos);
    EXPECT_EQ(read_file(vault.path()), before);
}

TEST(CsvExportTest, QuotesOnlyValuesWithCommaQuoteOrLineBreak) {
    ScratchVault vault;
    vault.add_record({"a,b", "say \"hi\"", "two\r\nlines", "lf\nonly", ""});
    vault.add_record({"cr\r", "plain", gbk("中文,逗号"), "'single'", ""});
    test_support::RawSqlite(vault.path())
        .exec("INSERT INTO userpass VALUES(NULL,'n',NULL,NULL,NULL)");

    auto csv = build_csv(vault.db());
    ASSERT_TRUE(csv.ok());
    EXPECT_EQ(*csv, header_line() + "\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"lf\nonly\"\r\n" +
                        "\"cr\r\",plain,\"" + gbk("中文,逗号") + "\",'single'\r\n" + ",n,,\r\n");
}

TEST(CsvExportTest, WriteReplacesLongerFileOwnerOnlyAndReportsFailure) {
    ScratchVault vault;
    const QString target = vault.file("out.csv");
    write_file(target, std::string(10000, 'z'));

    ASSERT_TRUE(write_csv(target, "short\r\n").ok());
    EXPECT_EQ(read_file(target), "short\r\n");
    EXPECT_TRUE(is_owner_only(target));

    const QStringList entries = folder_entries(QFileInfo(target).absolutePath());
    {
        FailingStep failing("atomic.rename");
        Status status = write_csv(target, "new content\r\n");
        ASSERT_FALSE(status.ok());
        EXPECT_TRUE(status.error().contains(QStringLiteral("out.csv")));
    }
    EXPECT_EQ(read_file(target), "short\r\n");
    EXPECT_EQ(folder_entries(QFileInfo(target).absolutePath()), entries);
    EXPECT_FALSE(write_csv(vault.file("missing-folder/out.csv"), "x").ok());
}

TEST(BackupExportTest, CopyIsACompleteOwnerOnlyDatabase) {
    ScratchVault vault;
    vault.add_category("Work");
    vault.add_record({"title", "name", "pass", "remark", "Work"});
    const QString target = vault.file("backup.dat");

    ASSERT_TRUE(export_backup(vault.db(), target).ok());
    EXPECT_EQ(query_sqlite(target, "select * from userpass"), "title|name|pass|remark|Work");
    EXPECT_EQ(query_sqlite(target, "select * from type"), "Work");
    EXPECT_EQ(query_sqlite(target, "select OID,pass from userad"), "1|masterpasswordyyy");
    EXPECT_EQ(query_sqlite(target, "pragma integrity_check"), "ok");
    EXPECT_TRUE(is_owner_only(target));
    // The vault stays usable on the same connection.
    vault.add_record({"after", "", "", "", ""});
    EXPECT_EQ(vault.records().size(), 2u);
}

TEST(BackupExportTest, ReplacesAConfirmedTargetAndReportsFailures) {
    ScratchVault vault;
    vault.add_record({"kept", "", "", "", ""});
    const QString target = vault.file("backup.dat");
    write_file(target, std::string(200000, 'j'));

    ASSERT_TRUE(export_backup(vault.db(), target).ok());
    EXPECT_EQ(query_sqlite(target, "select bt from userpass"), "kept");

    const std::string good_copy = read_file(target);
    const QStringList entries = folder_entries(vault.file("."));
    {
        FailingStep failing("atomic.sync");
        EXPECT_FALSE(export_backup(vault.db(), target).ok());
    }
    EXPECT_EQ(read_file(target), good_copy);
    EXPECT_EQ(folder_entries(vault.file(".")), entries);
    EXPECT_FALSE(export_backup(vault.db(), vault.file("no/such/folder.dat")).ok());
}

}  // namespace
}  // namespace korvane::tools

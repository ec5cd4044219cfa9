// SPDX-License-Identifier: GPL-3.0-or-later
// CSV export and backup export: the exact bytes written, replacing targets, and failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "support/failing_step.h"
#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/scratch_vault.h"
#include "tools/backup_export.h"
#include "tools/csv_export.h"
#include "tools/file_crypt.h"
#include "vault/fault_injection.h"

namespace korvane::tools {
namespace {

using namespace korvane::test_support;

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

    ASSERT_TRUE(write_csv(target, "short\r\n", vault.session()).ok());
    EXPECT_EQ(read_file(target), "short\r\n");
    EXPECT_TRUE(is_owner_only(target));

    const QStringList entries = folder_entries(QFileInfo(target).absolutePath());
    {
        FailingStep failing("atomic.rename");
        Status status = write_csv(target, "new content\r\n", vault.session());
        ASSERT_FALSE(status.ok());
        EXPECT_TRUE(status.error().contains(QStringLiteral("out.csv")));
    }
    EXPECT_EQ(read_file(target), "short\r\n");
    EXPECT_EQ(folder_entries(QFileInfo(target).absolutePath()), entries);
    EXPECT_FALSE(write_csv(vault.file("missing-folder/out.csv"), "x", vault.session()).ok());
}

TEST(BackupExportTest, CopyIsACompleteOwnerOnlyDatabase) {
    ScratchVault vault;
    vault.add_category("Work");
    vault.add_record({"title", "name", "pass", "remark", "Work"});
    const QString target = vault.file("backup.dat");

    ASSERT_TRUE(export_backup(vault.db(), target, vault.session()).ok());
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

    ASSERT_TRUE(export_backup(vault.db(), target, vault.session()).ok());
    EXPECT_EQ(query_sqlite(target, "select bt from userpass"), "kept");

    const std::string good_copy = read_file(target);
    const QStringList entries = folder_entries(vault.file("."));
    {
        FailingStep failing("atomic.sync");
        EXPECT_FALSE(export_backup(vault.db(), target, vault.session()).ok());
    }
    EXPECT_EQ(read_file(target), good_copy);
    EXPECT_EQ(folder_entries(vault.file(".")), entries);
    EXPECT_FALSE(export_backup(vault.db(), vault.file("no/such/folder.dat"), vault.session()).ok());
}

// Every writer of a file the user names, and the vault's own files reached by every way a path
// can lead to them: by name, through a chain of links or a dangling one, through "..", and as a
// hard link. Each is refused with its path named, leaving the folders and the file as they were.
TEST(SessionFilesTest, NoWriterEverWritesOneOfTheVaultsOwnFiles) {
    ScratchVault vault;
    vault.add_record({"kept", "", "", "", ""});
    const QString own = QFileInfo(vault.path()).absolutePath();
    QTemporaryDir elsewhere;
    const QDir other(elsewhere.path());
    for (const char* name : {"user.dat", "user.lock", "user.dat-journal", "user.tmp-journal",
                             "user.tmp-wal", "user.tmp-shm", "user.dat.0badc0de.part",
                             "user.dat.0badc0de.part-journal", "user.lock.4242.0badc0de.part"}) {
        write_file(vault.file(name), std::string("own ") + name);
    }
    ASSERT_TRUE(QDir(own).mkdir("nested"));
    ASSERT_TRUE(QFile::link(vault.file("user.dat"), other.filePath("first")));
    ASSERT_TRUE(QFile::link(other.filePath("first"), other.filePath("second")));
    ASSERT_TRUE(QFile::link(vault.file("user.tmp.1a2b3c4d.part"), other.filePath("dangling")));
    ASSERT_TRUE(QFile::link(vault.file("nested"), other.filePath("into")));
    ASSERT_TRUE(QFile::link(own, other.filePath("folder")));
    ASSERT_EQ(::link(QFile::encodeName(vault.path()).constData(),
                     QFile::encodeName(other.filePath("hard")).constData()),
              0);
    ASSERT_EQ(::link(QFile::encodeName(vault.file("user.lock.4242.0badc0de.part")).constData(),
                     QFile::encodeName(other.filePath("hard-lock")).constData()),
              0);
    const QString sealed = other.filePath("input.enc");
    write_file(sealed, *encrypt_bytes("plain", "a password of 16"));

    const QStringList targets = {vault.path(),
                                 vault.file("user.dat"),
                                 vault.file("user.lock"),
                                 vault.file("user.dat-journal"),
                                 vault.file("user.dat.0badc0de.part-journal"),
                                 vault.file("user.tmp-journal"),
                                 vault.file("user.tmp-wal"),
                                 vault.file("user.tmp-shm"),
                                 vault.file("user.dat.0badc0de.part"),
                                 vault.file("user.tmp.99.part"),
                                 vault.file("user.lock.4242.0badc0de.part"),
                                 vault.file("user.lock.77.1a2b3c4d.part"),
                                 vault.file("nested/../user.tmp"),
                                 other.filePath("second"),
                                 other.filePath("dangling"),
                                 other.filePath("into/../user.tmp"),
                                 other.filePath("folder/user.dat"),
                                 other.filePath("hard"),
                                 other.filePath("hard-lock")};
    const SessionFiles session = vault.session();
    using Writer = std::function<Status(const QString&)>;
    const std::pair<const char*, Writer> writers[] = {
        {"csv", [&](const QString& t) { return write_csv(t, "csv\r\n", session); }},
        {"backup", [&](const QString& t) { return export_backup(vault.db(), t, session); }},
        {"encrypt",
         [&](const QString& t) { return encrypt_file(sealed, t, "a password of 16", session); }},
        {"decrypt",
         [&](const QString& t) { return decrypt_file(sealed, t, "a password of 16", session); }},
    };
    const std::string database = read_file(vault.path());
    const QStringList own_entries = folder_entries(own),
                      other_entries = folder_entries(other.path());
    for (const QString& target : targets) {
        for (const auto& [name, write] : writers) {
            SCOPED_TRACE(name + (" " + target.toStdString()));
            const Status status = write(target);
            ASSERT_FALSE(status.ok());
            EXPECT_TRUE(status.error().contains(QDir::toNativeSeparators(target)))
                << status.error().toStdString();
            EXPECT_EQ(folder_entries(own), own_entries);
            EXPECT_EQ(folder_entries(other.path()), other_entries);
        }
    }
    EXPECT_EQ(read_file(vault.path()), database);
    EXPECT_EQ(read_file(vault.file("user.dat")), "own user.dat");

    // Names that only resemble the vault's are the user's to write.
    for (const QString& free : {vault.file("user.dat.csv"), vault.file("user.tmp.bak"),
                                vault.file("nested/user.tmp"), other.filePath("user.dat")}) {
        SCOPED_TRACE(free.toStdString());
        EXPECT_TRUE(write_csv(free, "csv\r\n", session).ok());
    }
}

// The writers of a file the user names, each given the target.
struct OutputWriter {
    const char* name;
    std::function<Status(ScratchVault&, const QString& sealed, const QString& target)> write;
};

void PrintTo(const OutputWriter& writer, std::ostream* os) { *os << writer.name; }

const std::vector<OutputWriter>& output_writers() {
    static const std::vector<OutputWriter> writers = {
        {"Csv", [](ScratchVault& v, const QString&,
                   const QString& t) { return write_csv(t, "csv\r\n", v.session()); }},
        {"CsvExport", [](ScratchVault& v, const QString&,
                         const QString& t) { return export_csv(v.db(), t, v.session()); }},
        {"Backup", [](ScratchVault& v, const QString&,
                      const QString& t) { return export_backup(v.db(), t, v.session()); }},
        {"Encrypt",
         [](ScratchVault& v, const QString& sealed, const QString& t) {
             return encrypt_file(sealed, t, "a password of 16", v.session());
         }},
        {"Decrypt",
         [](ScratchVault& v, const QString& sealed, const QString& t) {
             return decrypt_file(sealed, t, "a password of 16", v.session());
         }},
    };
    return writers;
}

// Where the fault hook puts a FIFO in place of the regular target, once the output is written
// and about to be renamed over it.
QString g_fifo_after_writing;

bool swap_in_a_fifo(const char* point) {
    if (g_fifo_after_writing.isEmpty() || std::string(point) != "atomic.sync") return false;
    EXPECT_TRUE(replace_with_fifo(g_fifo_after_writing));
    g_fifo_after_writing.clear();
    return false;
}

class SpecialTargetTest : public ::testing::TestWithParam<std::tuple<SpecialTarget, OutputWriter>> {
};

// A FIFO, a device, a folder or a socket is never written to nor replaced by a plain file (a
// reader of the FIFO would get nothing, and the plaintext would lie in its place), --force or
// not: the write fails naming what is there, the target stays what it was, and nothing is left
// beside it.
TEST_P(SpecialTargetTest, IsRefusedAndLeftAsItWas) {
    const auto& [special, writer] = GetParam();
    ScratchVault vault;
    vault.add_record({"kept", "", "secret", "", ""});
    QTemporaryDir elsewhere;
    const QString sealed = vault.file("input.enc");
    write_file(sealed, *encrypt_bytes("plain", "a password of 16"));
    const QString target = QDir(elsewhere.path()).filePath("out");
    std::string why;
    if (!special.make(target, &why)) GTEST_SKIP() << why;
    int reader = -1;
    if (special.with_reader) {
        reader = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
    }
    if (special.appears_while_writing) {
        g_fifo_after_writing = target;
        fault::set_hook(swap_in_a_fifo);
    }
    // Besides the target itself (a regular file that became a FIFO is listed no more).
    const auto others = [&] {
        QStringList names = folder_entries(elsewhere.path());
        names.removeAll(QStringLiteral("out"));
        return names;
    };
    const QStringList entries = others();
    const std::string identity = file_identity(target);
    const std::string end = file_identity(target + ".fifo");

    const Status status = writer.write(vault, sealed, target);
    fault::set_hook(nullptr);
    g_fifo_after_writing.clear();

    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(QString::fromUtf8(special.kind)) &&
                status.error().contains(QDir::toNativeSeparators(target)))
        << status.error().toStdString();
    if (special.appears_while_writing) {
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
    } else {
        EXPECT_EQ(file_identity(target), identity);
        EXPECT_EQ(file_identity(target + ".fifo"), end);
    }
    EXPECT_EQ(others(), entries);
    if (reader >= 0) {
        char byte;
        EXPECT_LE(::read(reader, &byte, 1), 0);  // nothing came, and the read did not wait
        ::close(reader);
    }
}

INSTANTIATE_TEST_SUITE_P(TargetsAndWriters, SpecialTargetTest,
                         ::testing::Combine(::testing::ValuesIn(special_targets()),
                                            ::testing::ValuesIn(output_writers())),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace korvane::tools

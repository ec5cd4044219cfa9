// SPDX-License-Identifier: GPL-3.0-or-later
// Database import and synchronisation from database-version vaults written with plain sqlite3.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/file_helpers.h"
#include "support/scratch_vault.h"
#include "tools/backup_export.h"
#include "tools/database_import.h"
#include "tools/database_sync.h"
#include "tools/source_vault.h"

namespace korvane::tools {
namespace {

using namespace korvane::test_support;
using test_support::RawRow;

class DatabaseExchangeTest : public ::testing::Test {
protected:
    QString source(const std::vector<RawRow>& records, const std::vector<std::string>& categories) {
        const QString path = vault_.file(QStringLiteral("source%1.db").arg(++sources_));
        write_source_vault(path, records, categories);
        return path;
    }

    // Sources that are no database-version vault, each with a reason, and none changed.
    std::vector<QString> unusable_sources() {
        const QString encrypted = vault_.file("user.dat");
        write_file(encrypted, std::string(4096, '\x5a'));
        const QString no_tables = vault_.file("other.db");
        test_support::RawSqlite(no_tables).exec("CREATE TABLE userpass(bt TEXT)");
        return {QString(), vault_.file("absent.db"), encrypted, no_tables};
    }

    ScratchVault vault_;
    int sources_ = 0;
};

// The second row is bound into the insert the first used, with shorter or no values.
TEST_F(DatabaseExchangeTest, ImportTwiceDoublesRecordsAndCategoriesNullAsEmpty) {
    const QString path = source({{"title", "name", "pass", "remark", "Work"},
                                 {"x", std::nullopt, "y", std::nullopt, std::nullopt}},
                                {"Work", "Home"});
    const std::string before = read_file(path);
    for (int round = 0; round < 2; ++round) {
        auto counts = import_database(vault_.db(), path);
        ASSERT_TRUE(counts.ok()) << counts.error().toStdString();
        EXPECT_EQ(counts->records, 2);
        EXPECT_EQ(counts->categories, 2);
    }
    const RawRow first{"title", "name", "pass", "remark", "Work"}, second{"x", "", "y", "", ""};
    EXPECT_EQ(vault_.records(), (std::vector<RawRow>{first, second, first, second}));
    EXPECT_EQ(vault_.categories(), (std::vector<std::string>{"Work", "Home", "Work", "Home"}));
    EXPECT_EQ(read_file(path), before);
}

TEST_F(DatabaseExchangeTest, ImportAndSyncRefuseSourcesThatAreNoVaultDatabase) {
    vault_.add_record({"mine", "", "", "", ""});
    for (const QString& path : unusable_sources()) {
        SCOPED_TRACE(path.toStdString());
        const std::string before = read_file(path);
        auto imported = import_database(vault_.db(), path);
        EXPECT_FALSE(imported.ok());
        auto synced = sync_database(vault_.db(), path);
        ASSERT_FALSE(synced.ok());
        EXPECT_FALSE(synced.error().isEmpty());
        EXPECT_EQ(read_file(path), before);
    }
    EXPECT_EQ(vault_.records().size(), 1u);
    EXPECT_TRUE(vault_.categories().empty());
}

// Sources built to make the reader compute, convert or invent what the file does not hold.
// Each is refused by import and sync alike, says why in Chinese, adds nothing, and leaves the
// file and its folder exactly as they were.
TEST_F(DatabaseExchangeTest, ImportAndSyncRefuseHostileSourcesAndLeaveThemAlone) {
    const std::string type_table = "CREATE TABLE type(leibie TEXT);";
    const std::string record_table =
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);";
    const std::pair<const char*, std::string> hostile[] = {
        {"generated value",
         type_table + "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,"
                      "bz TEXT GENERATED ALWAYS AS (hex(zeroblob(300000))) VIRTUAL,type TEXT);"
                      "INSERT INTO userpass(bt) VALUES('t')"},
        {"stored generated column",
         type_table + "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT,"
                      "g TEXT GENERATED ALWAYS AS (bt || 'x') STORED);"
                      "INSERT INTO userpass(bt) VALUES('t')"},
        {"virtual table", type_table +
                              "CREATE VIRTUAL TABLE userpass USING fts4(bt,name,pass,bz,type);"
                              "INSERT INTO userpass VALUES('t','n','p','b','c')"},
        {"view", record_table + "CREATE TABLE t(leibie TEXT); INSERT INTO t VALUES('c');"
                                "CREATE VIEW type AS SELECT leibie FROM t"},
        {"utf-16", "PRAGMA encoding='UTF-16le';" + type_table + record_table +
                       "INSERT INTO userpass VALUES('t','n','p','b','c')"},
        {"huge value", type_table + record_table +
                           "INSERT INTO userpass VALUES('t','n','p',randomblob(2000000),'c')"},
        {"huge category", type_table + record_table + "INSERT INTO type VALUES(zeroblob(1100000))"},
        {"missing column",
         type_table +
             "CREATE TABLE userpass(bt,name,pass,bz); INSERT INTO userpass VALUES(1,2,3,4)"},
    };
    vault_.add_record({"mine", "", "", "", ""});
    QTemporaryDir folder;
    for (const auto& [label, sql] : hostile) {
        SCOPED_TRACE(label);
        const QString path = QDir(folder.path()).filePath(QString::fromLatin1(label) + ".db");
        test_support::RawSqlite(path).exec(sql);
        const std::string before = read_file(path);
        const QStringList entries = folder_entries(folder.path());
        auto imported = import_database(vault_.db(), path);
        ASSERT_FALSE(imported.ok());
        auto synced = sync_database(vault_.db(), path);
        ASSERT_FALSE(synced.ok());
        for (const QString& message : {imported.error(), synced.error()}) {
            EXPECT_TRUE(message.contains(QDir::toNativeSeparators(path))) << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("不是可读取的密码库数据库")));
        }
        EXPECT_EQ(read_file(path), before);
        EXPECT_EQ(folder_entries(folder.path()), entries);
    }
    EXPECT_EQ(vault_.records().size(), 1u);
    EXPECT_TRUE(vault_.categories().empty());
}

// The file named is the file read: a name that reads like a URI is a name, a source in WAL mode
// gets no -wal or -shm beside it, and columns are taken by name, not by position.
TEST_F(DatabaseExchangeTest, ImportReadsTheNamedFileByColumnNameAndCreatesNothingBesideIt) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    test_support::RawSqlite(dir.filePath("file:src.db?mode=ro"))
        .exec(
            "CREATE TABLE type(extra, leibie TEXT); INSERT INTO type VALUES(0, 'literal');"
            "CREATE TABLE userpass(extra, type, bz, pass, name, bt);"
            "INSERT INTO userpass VALUES('x', 'c', 'b', 'p', 'n', 't')");
    write_source_vault(dir.filePath("src.db"), {{"other", "", "", "", ""}}, {"other"});
    test_support::RawSqlite(dir.filePath("src.db")).exec("PRAGMA journal_mode=WAL");
    const QStringList entries = folder_entries(folder.path());

    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    auto literal = import_database(vault_.db(), QStringLiteral("file:src.db?mode=ro"));
    QDir::setCurrent(cwd);
    ASSERT_TRUE(literal.ok()) << literal.error().toStdString();
    auto wal = import_database(vault_.db(), dir.filePath("src.db"));
    ASSERT_TRUE(wal.ok()) << wal.error().toStdString();

    EXPECT_EQ(vault_.records(),
              (std::vector<RawRow>{{"t", "n", "p", "b", "c"}, {"other", "", "", "", ""}}));
    EXPECT_EQ(vault_.categories(), (std::vector<std::string>{"literal", "other"}));
    EXPECT_EQ(folder_entries(folder.path()), entries);
}

// A source in WAL mode whose newest rows are only in its -wal, as while the program writing it
// still runs: they are read through a private copy, which is gone afterwards, and the source
// and its folder stay exactly as they were. A -wal that is no regular file is refused.
TEST_F(DatabaseExchangeTest, ImportAndSyncReadRowsThatAreStillInTheSourcesWal) {
    QTemporaryDir folder;
    QTemporaryDir temp;
    const QString path = QDir(folder.path()).filePath("wal.db");
    write_source_vault(path, {{"kept", "", "", "", ""}}, {"old"});
    auto writer = std::make_unique<test_support::RawSqlite>(path);
    writer->exec(
        "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
        "INSERT INTO userpass VALUES('in wal', 'n', 'p', 'b', 'c');"
        "INSERT INTO type VALUES('new')");
    ASSERT_GT(QFileInfo(path + "-wal").size(), 0);
    const std::string db_before = read_file(path), wal_before = read_file(path + "-wal");
    const QStringList entries = folder_entries(folder.path());

    const QByteArray tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    int seen = 0;
    {
        auto reader = SourceVaultReader::open(path);
        ASSERT_TRUE(reader.ok()) << reader.error().toStdString();
        Status read = reader->for_each_record([&](const RecordView&) {
            ++seen;
            // While it is read, the copy is in a folder only its owner may enter.
            const QStringList copies = folder_entries(temp.path());
            EXPECT_EQ(copies.size(), 1);
            struct stat info {};
            const QString copy = QDir(temp.path()).filePath(copies.value(0));
            EXPECT_EQ(::stat(QFile::encodeName(copy).constData(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
            return Status::success();
        });
        EXPECT_TRUE(read.ok());
    }
    EXPECT_EQ(seen, 2);
    auto imported = import_database(vault_.db(), path);
    auto synced = sync_database(vault_.db(), path);
    qputenv("TMPDIR", tmpdir);
    ASSERT_TRUE(imported.ok()) << imported.error().toStdString();
    EXPECT_EQ(imported->records, 2);
    EXPECT_EQ(imported->categories, 2);
    ASSERT_TRUE(synced.ok()) << synced.error().toStdString();
    EXPECT_EQ(synced->records, 0);
    EXPECT_EQ(vault_.records(),
              (std::vector<RawRow>{{"kept", "", "", "", ""}, {"in wal", "n", "p", "b", "c"}}));
    EXPECT_EQ(vault_.categories(), (std::vector<std::string>{"old", "new"}));
    EXPECT_EQ(read_file(path), db_before);
    EXPECT_EQ(read_file(path + "-wal"), wal_before);
    EXPECT_EQ(folder_entries(folder.path()), entries);
    EXPECT_TRUE(folder_entries(temp.path()).isEmpty());

    writer.reset();
    ASSERT_FALSE(QFileInfo::exists(path + "-wal"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path + "-wal").constData(), 0600), 0);
    auto refused = import_database(vault_.db(), path);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(QStringLiteral("不是普通文件")))
        << refused.error().toStdString();
    EXPECT_EQ(vault_.records().size(), 2u);
}

// A refusal of a later row, by the insert every earlier row went through, undoes them all.
TEST_F(DatabaseExchangeTest, ImportAndSyncAreAllOrNothing) {
    test_support::RawSqlite(vault_.path())
        .exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON type WHEN new.leibie = 'boom' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END;"
            "CREATE TRIGGER refuse_record BEFORE INSERT ON userpass WHEN new.bt = 'boom' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    for (const QString& path :
         {source({{"t", "", "", "", ""}}, {"fine", "boom"}),
          source({{"t", "", "", "", ""}, {"u", "", "", "", ""}, {"boom", "", "", "", ""}},
                 {"fine"})}) {
        EXPECT_FALSE(import_database(vault_.db(), path).ok());
        EXPECT_FALSE(sync_database(vault_.db(), path).ok());
    }
    EXPECT_TRUE(vault_.records().empty());
    EXPECT_TRUE(vault_.categories().empty());
}

TEST_F(DatabaseExchangeTest, SyncOfTheVaultsOwnBackupOrFileAddsNothing) {
    vault_.add_category("Work");
    vault_.add_record({"t", "n", "p", "b", "Work"});
    vault_.add_record({"t", "n", "p", "b", "Work"});
    const QString backup = vault_.file("backup.dat");
    ASSERT_TRUE(export_backup(vault_.db(), backup, vault_.session()).ok());

    for (const QString& path : {backup, vault_.path()}) {
        auto counts = sync_database(vault_.db(), path);
        ASSERT_TRUE(counts.ok()) << counts.error().toStdString();
        EXPECT_EQ(counts->records, 0);
        EXPECT_EQ(counts->categories, 0);
    }
    EXPECT_EQ(vault_.records().size(), 2u);
    EXPECT_EQ(vault_.categories().size(), 1u);
}

TEST_F(DatabaseExchangeTest, SyncAddsEachRecordThatDiffersInAnyFieldOnce) {
    const VaultRecord mine{"t", "n", "p", "b", "Work"};
    vault_.add_record(mine);
    VaultRecord other_remark = mine, other_category = mine, other_case = mine;
    other_remark.remark = "b2";
    other_category.category = "Home";
    other_case.title = "T";
    const QString path = source({raw(mine), raw(other_remark), raw(other_category),
                                 raw(other_remark), raw(other_case), raw(other_category)},
                                {});
    auto counts = sync_database(vault_.db(), path);
    ASSERT_TRUE(counts.ok());
    EXPECT_EQ(counts->records, 3);
    EXPECT_EQ(counts->categories, 0);
    EXPECT_EQ(vault_.records(), (std::vector<RawRow>{raw(mine), raw(other_remark),
                                                     raw(other_category), raw(other_case)}));

    counts = sync_database(vault_.db(), path);
    ASSERT_TRUE(counts.ok());
    EXPECT_EQ(counts->records, 0);
}

TEST_F(DatabaseExchangeTest, SyncAddsOnlyCategoriesOfTheSourceTypeTableThatAreMissing) {
    vault_.add_category("Work");
    const QString path =
        source({{"t", "", "", "", "OnlyUsedByRecords"}}, {"Work", "New", "New", "work"});
    auto counts = sync_database(vault_.db(), path);
    ASSERT_TRUE(counts.ok());
    EXPECT_EQ(counts->records, 1);
    EXPECT_EQ(counts->categories, 2);
    EXPECT_EQ(vault_.categories(), (std::vector<std::string>{"Work", "New", "work"}));
}

}  // namespace
}  // namespace korvane::tools

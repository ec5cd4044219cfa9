// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the sqlite3 wrapper: opening, binary-safe texts, error reporting, transactions.
#include "vault/sqlite_db.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "support/raw_sqlite.h"

namespace korvane {
namespace {

using test_support::RawSqlite;

class SqliteDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("test.db"));
        auto db = SqliteDb::open(path_);
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        db_ = std::move(db).value();
        ASSERT_TRUE(db_.exec("create table t(v)").ok());
    }

    // Inserts one text through the wrapper and reads it back through it.
    std::string round_trip(std::string_view bytes) {
        auto insert = db_.prepare("insert into t values(?)");
        EXPECT_TRUE(insert.ok());
        insert->bind_text(1, bytes);
        EXPECT_FALSE(insert->step());
        EXPECT_FALSE(insert->failed()) << insert->error().toStdString();
        auto select = db_.prepare("select v from t where rowid = ?");
        EXPECT_TRUE(select.ok());
        select->bind_int64(1, db_.last_insert_rowid());
        EXPECT_TRUE(select->step());
        return select->column_text(0);
    }

    QTemporaryDir dir_;
    QString path_;
    SqliteDb db_;
};

TEST_F(SqliteDbTest, OpenModes) {
    const QString missing = dir_.filePath(QStringLiteral("missing.db"));
    auto read_only = SqliteDb::open(missing, SqliteDb::Mode::ReadOnly);
    ASSERT_FALSE(read_only.ok());
    EXPECT_TRUE(read_only.error().startsWith(QStringLiteral("无法打开数据库文件")));
    // The cause from errno, in Chinese, not SQLite's English.
    EXPECT_TRUE(read_only.error().contains(QStringLiteral("没有那个文件或目录")))
        << read_only.error().toStdString();
    EXPECT_FALSE(SqliteDb::open(missing, SqliteDb::Mode::ReadWrite).ok());
    EXPECT_FALSE(QFile::exists(missing));

    // A non-ASCII path reaches SQLite as UTF-8 and names that very file.
    const QString chinese = dir_.filePath(QStringLiteral("我的密码.db"));
    {
        auto created = SqliteDb::open(chinese, SqliteDb::Mode::ReadWriteCreate);
        ASSERT_TRUE(created.ok()) << created.error().toStdString();
        ASSERT_TRUE(created->exec("create table x(a)").ok());
    }
    EXPECT_TRUE(QFile::exists(chinese));
}

TEST_F(SqliteDbTest, TextsAreStoredAsExactBytes) {
    const std::string with_nul("a\0b\0", 4);
    EXPECT_EQ(round_trip(with_nul), with_nul);
    EXPECT_EQ(round_trip("\xce\xd2\xff\x80\x81"), "\xce\xd2\xff\x80\x81");
    EXPECT_EQ(round_trip("it's \"x\" %s"), "it's \"x\" %s");

    // Binding copies: the source may change before the statement runs.
    std::string source = "before";
    auto insert = db_.prepare("insert into t values(?)");
    ASSERT_TRUE(insert.ok());
    insert->bind_text(1, source);
    source = "AFTER!";
    EXPECT_FALSE(insert->step());
    RawSqlite raw(path_);
    EXPECT_EQ(raw.value("select v from t order by rowid desc limit 1"), "before");
    EXPECT_EQ(raw.value("select typeof(v) from t where v = ?", {with_nul}), "text");
}

TEST_F(SqliteDbTest, EmptyTextIsNotNull) {
    auto insert = db_.prepare("insert into t values(?)");
    ASSERT_TRUE(insert.ok());
    insert->bind_text(1, std::string_view());  // data() is null here
    EXPECT_FALSE(insert->step());
    ASSERT_FALSE(insert->failed());

    RawSqlite raw(path_);
    EXPECT_EQ(raw.value("select typeof(v) from t"), "text");

    raw.exec("insert into t values(NULL)");
    auto select = db_.prepare("select v from t order by rowid");
    ASSERT_TRUE(select.ok());
    ASSERT_TRUE(select->step());
    EXPECT_FALSE(select->column_is_null(0));
    EXPECT_EQ(select->column_text(0), "");
    ASSERT_TRUE(select->step());
    EXPECT_TRUE(select->column_is_null(0));
    EXPECT_EQ(select->column_text(0), "");
    EXPECT_FALSE(select->step());
    EXPECT_FALSE(select->failed());
}

TEST_F(SqliteDbTest, FailuresCarrySqliteMessage) {
    auto syntax = db_.prepare("selec 1");
    ASSERT_FALSE(syntax.ok());
    EXPECT_TRUE(syntax.error().contains(QStringLiteral("syntax error")))
        << syntax.error().toStdString();

    auto two = db_.prepare("insert into t values(1); insert into t values(2)");
    EXPECT_FALSE(two.ok());
    EXPECT_TRUE(db_.prepare("select 1; -- trailing comment\n").ok());

    ASSERT_TRUE(db_.exec("create table u(v unique)").ok());
    ASSERT_TRUE(db_.exec("insert into u values('x')").ok());
    auto duplicate = db_.prepare("insert into u values(?)");
    ASSERT_TRUE(duplicate.ok());
    duplicate->bind_text(1, "x");
    EXPECT_FALSE(duplicate->step());
    ASSERT_TRUE(duplicate->failed());
    EXPECT_TRUE(duplicate->error().contains(QStringLiteral("UNIQUE constraint failed")))
        << duplicate->error().toStdString();
    EXPECT_FALSE(duplicate->step());  // the error stays
}

TEST_F(SqliteDbTest, BindingOutOfRangeStopsTheStatement) {
    auto insert = db_.prepare("insert into t values(?)");
    ASSERT_TRUE(insert.ok());
    insert->bind_text(2, "lost");
    EXPECT_FALSE(insert->step());
    EXPECT_TRUE(insert->failed());
    RawSqlite raw(path_);
    EXPECT_EQ(raw.value("select count(*) from t"), "0");
}

TEST_F(SqliteDbTest, TransactionRollsBackUnlessCommitted) {
    {
        SqliteTransaction transaction(db_);
        ASSERT_TRUE(transaction.begin_status().ok());
        ASSERT_TRUE(db_.exec("insert into t values('dropped')").ok());
    }
    {
        SqliteTransaction transaction(db_);
        ASSERT_TRUE(db_.exec("insert into t values('kept')").ok());
        ASSERT_TRUE(transaction.commit().ok());
        EXPECT_FALSE(transaction.commit().ok());  // nothing left to commit
    }
    RawSqlite raw(path_);
    const auto rows = raw.rows("select v from t");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "kept");

    // A transaction inside another cannot begin, and must not roll back the outer one.
    SqliteTransaction outer(db_);
    ASSERT_TRUE(db_.exec("insert into t values('outer')").ok());
    {
        SqliteTransaction inner(db_);
        EXPECT_FALSE(inner.begin_status().ok());
    }
    ASSERT_TRUE(outer.commit().ok());
    EXPECT_EQ(raw.value("select count(*) from t"), "2");
}

}  // namespace
}  // namespace korvane

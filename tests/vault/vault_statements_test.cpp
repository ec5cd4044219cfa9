// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the vault statements against real database files, checked through plain sqlite3.
#include "vault/vault_statements.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/raw_sqlite.h"

namespace korvane::statements {
namespace {

using test_support::RawRow;
using test_support::RawSqlite;
using test_support::RawValue;

// Values that broke the old quoted statements, plus bytes only a binary-safe path keeps.
const std::vector<std::string> kAwkwardValues = {
    "it's",
    "say \"hi\"",
    "%s%d%n%%",
    "",
    kRootCategory,
    "'); drop table userpass; --",
    std::string("nul\0inside", 10),
    "\xff\x81",
};

VaultRecord make_record(const std::string& tag, const std::string& type) {
    return VaultRecord{"bt-" + tag, "name-" + tag, "pass-" + tag, "bz-" + tag, type};
}

RawRow as_raw(const RecordSummary& row) {
    return {std::to_string(row.oid), row.title, row.account, row.remark};
}

std::vector<RawRow> as_raw(const std::vector<RecordSummary>& rows) {
    std::vector<RawRow> result;
    for (const RecordSummary& row : rows) result.push_back(as_raw(row));
    return result;
}

std::vector<RecordId> oids(const std::vector<RecordSummary>& rows) {
    std::vector<RecordId> result;
    for (const RecordSummary& row : rows) result.push_back(row.oid);
    return result;
}

class VaultStatementsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("vault.db"));
        auto db = SqliteDb::open(path_);
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        db_ = std::move(db).value();
        raw_ = std::make_unique<RawSqlite>(path_);
        ASSERT_TRUE(raw_->ok());
    }

    void create() {
        Status status = create_schema(db_);
        ASSERT_TRUE(status.ok()) << status.error().toStdString();
    }

    RecordId add(const VaultRecord& record) {
        auto oid = insert_record(db_, record);
        EXPECT_TRUE(oid.ok()) << oid.error().toStdString();
        return oid.ok() ? *oid : 0;
    }

    // A record whose type is SQL NULL, which none of the statements writes but old files hold.
    RecordId add_null_typed(const std::string& tag) {
        raw_->exec("insert into userpass values('bt-" + tag + "','name-" + tag + "','pass-" + tag +
                   "','bz-" + tag + "',NULL)");
        return std::stoll(*raw_->value("select max(OID) from userpass"));
    }

    void add_category(std::string_view name) {
        Status status = insert_category(db_, name);
        ASSERT_TRUE(status.ok()) << status.error().toStdString();
    }

    std::vector<RecordSummary> root() {
        auto rows = list_root_records(db_);
        EXPECT_TRUE(rows.ok()) << rows.error().toStdString();
        return rows.ok() ? *rows : std::vector<RecordSummary>();
    }

    QTemporaryDir dir_;
    QString path_;
    SqliteDb db_;
    std::unique_ptr<RawSqlite> raw_;
};

// Schema and master password

TEST_F(VaultStatementsTest, NewVaultHasExactlyThreeTablesAndOneMasterPasswordRow) {
    create();
    const std::vector<RawRow> tables{
        {"table", "userad", "CREATE TABLE userad(pass TEXT)"},
        {"table", "type", "CREATE TABLE type(leibie TEXT)"},
        {"table", "userpass",
         "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT)"},
    };
    EXPECT_EQ(raw_->rows("select type, name, sql from sqlite_master order by rowid"), tables);

    ASSERT_TRUE(insert_master_password(db_, "secret").ok());
    EXPECT_EQ(raw_->rows("select OID, pass, typeof(pass) from userad"),
              (std::vector<RawRow>{{"1", "secret", "text"}}));
    auto read = read_master_password(db_);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(*read, std::optional<std::string>("secret"));

    Status again = create_schema(db_);
    ASSERT_FALSE(again.ok());
    EXPECT_TRUE(again.error().contains(QStringLiteral("already exists")))
        << again.error().toStdString();
}

TEST_F(VaultStatementsTest, HasVaultTablesNeedsUserpassAndType) {
    auto empty = has_vault_tables(db_);
    ASSERT_TRUE(empty.ok());
    EXPECT_FALSE(*empty);

    raw_->exec("create table userpass(bt,name,pass,bz,type)");
    EXPECT_FALSE(*has_vault_tables(db_));
    raw_->exec("create view type as select 1 as leibie");  // a view is not the table
    EXPECT_FALSE(*has_vault_tables(db_));
    raw_->exec("drop view type; create table type(leibie)");
    EXPECT_TRUE(*has_vault_tables(db_));
}

TEST_F(VaultStatementsTest, ReadMasterPasswordWithoutTableOrRow) {
    auto no_table = read_master_password(db_);
    ASSERT_TRUE(no_table.ok()) << no_table.error().toStdString();
    EXPECT_EQ(*no_table, std::nullopt);

    create();
    auto no_row = read_master_password(db_);
    ASSERT_TRUE(no_row.ok());
    EXPECT_EQ(*no_row, std::nullopt);

    raw_->exec("insert into userad values('first'); insert into userad values('second')");
    EXPECT_EQ(*read_master_password(db_), std::optional<std::string>("first"));
}

TEST_F(VaultStatementsTest, UpdateMasterPasswordNeedsRowOne) {
    create();
    Status empty = update_master_password(db_, "new");
    ASSERT_FALSE(empty.ok());
    EXPECT_TRUE(empty.error().startsWith(QStringLiteral("修改主密码失败")))
        << empty.error().toStdString();

    // Row 2 exists but row 1 does not: nothing may change.
    raw_->exec(
        "insert into userad values('one'); insert into userad values('two');"
        "delete from userad where OID=1");
    EXPECT_FALSE(update_master_password(db_, "new").ok());
    EXPECT_EQ(raw_->rows("select OID, pass from userad"), (std::vector<RawRow>{{"2", "two"}}));

    raw_->exec("insert into userad(OID, pass) values(1, 'one')");
    ASSERT_TRUE(update_master_password(db_, "new").ok());
    EXPECT_EQ(raw_->rows("select OID, pass from userad order by OID"),
              (std::vector<RawRow>{{"1", "new"}, {"2", "two"}}));

    raw_->exec("drop table userad");
    Status missing = update_master_password(db_, "x");
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(QStringLiteral("no such table")));
}

// Values reach the file exactly as given

TEST_F(VaultStatementsTest, MasterPasswordStoresAwkwardValuesExactly) {
    create();
    for (std::size_t i = 0; i < kAwkwardValues.size(); ++i) {
        const std::string& value = kAwkwardValues[i];
        const std::string& other = kAwkwardValues[(i + 1) % kAwkwardValues.size()];
        SCOPED_TRACE(value);
        raw_->exec("delete from userad");
        ASSERT_TRUE(insert_master_password(db_, value).ok());
        EXPECT_EQ(raw_->rows("select pass, typeof(pass) from userad"),
                  (std::vector<RawRow>{{value, "text"}}));
        ASSERT_TRUE(update_master_password(db_, other).ok());
        EXPECT_EQ(raw_->rows("select pass, typeof(pass) from userad"),
                  (std::vector<RawRow>{{other, "text"}}));
        EXPECT_EQ(*read_master_password(db_), std::optional<std::string>(other));
    }
}

TEST_F(VaultStatementsTest, CategoriesStoreAwkwardValuesExactly) {
    create();
    for (const std::string& value : kAwkwardValues) add_category(value);

    std::vector<RawRow> expected;
    for (const std::string& value : kAwkwardValues) expected.push_back({value, "text"});
    EXPECT_EQ(raw_->rows("select leibie, typeof(leibie) from type order by rowid"), expected);
    EXPECT_EQ(*list_categories(db_), kAwkwardValues);

    for (const std::string& value : kAwkwardValues) {
        SCOPED_TRACE(value);
        EXPECT_TRUE(*category_exists(db_, value));
        ASSERT_TRUE(delete_category(db_, value).ok());
        EXPECT_FALSE(*category_exists(db_, value));
    }
    EXPECT_EQ(raw_->value("select count(*) from type"), "0");
    EXPECT_FALSE(*category_exists(db_, "it"));  // no prefix or pattern matching
}

TEST_F(VaultStatementsTest, RecordsStoreAwkwardValuesExactlyInEveryField) {
    create();
    for (std::size_t i = 0; i < kAwkwardValues.size(); ++i) {
        const std::string& value = kAwkwardValues[i];
        const std::string& other = kAwkwardValues[(i + 3) % kAwkwardValues.size()];
        SCOPED_TRACE(value);
        const VaultRecord record{value, value, value, value, value};
        const RecordId oid = add(record);
        const std::vector<std::string> id{std::to_string(oid)};

        const RawRow stored{value, value, value, value, value};
        EXPECT_EQ(raw_->rows("select * from userpass where OID = ?", id),
                  std::vector<RawRow>{stored});
        EXPECT_EQ(raw_->value("select count(*) from userpass where OID = ? and typeof(bt) = "
                              "'text' and typeof(name) = 'text' and typeof(pass) = 'text' and "
                              "typeof(bz) = 'text' and typeof(type) = 'text'",
                              id),
                  "1");
        EXPECT_EQ(*load_record(db_, oid), std::optional<VaultRecord>(record));
        EXPECT_EQ(*record_password(db_, oid), value);
        EXPECT_TRUE(*record_exists(db_, record));
        EXPECT_EQ(oids(*list_records_of_category(db_, value)), std::vector<RecordId>{oid});

        // Each field gets a different value so a swapped parameter shows.
        const VaultRecord updated{other + "1", other + "2", other + "3", other + "4", other};
        ASSERT_TRUE(update_record(db_, oid, updated).ok());
        EXPECT_EQ(raw_->rows("select * from userpass where OID = ?", id),
                  (std::vector<RawRow>{{updated.title, updated.account, updated.password,
                                        updated.remark, updated.category}}));

        ASSERT_TRUE(move_record(db_, oid, value).ok());
        EXPECT_EQ(raw_->value("select type from userpass where OID = ?", id), value);

        ASSERT_TRUE(delete_record(db_, oid).ok());
        EXPECT_EQ(raw_->value("select count(*) from userpass"), "0");
    }
}

TEST_F(VaultStatementsTest, RecordWithoutCategoryGetsEmptyTextType) {
    create();
    const VaultRecord record = make_record("old", "ignored");
    auto oid = insert_record_without_category(db_, record);
    ASSERT_TRUE(oid.ok()) << oid.error().toStdString();
    EXPECT_EQ(raw_->rows("select bt, name, pass, bz, type, typeof(type) from userpass"),
              (std::vector<RawRow>{{"bt-old", "name-old", "pass-old", "bz-old", "", "text"}}));
    EXPECT_EQ(oids(*list_records_of_category(db_, "")), std::vector<RecordId>{*oid});
}

// Statements by OID touch one row

TEST_F(VaultStatementsTest, UpdateMoveAndDeleteTouchOnlyTheirRow) {
    create();
    const RecordId first = add(make_record("1", "A"));
    const RecordId second = add(make_record("2", "A"));
    const RecordId third = add(make_record("3", "A"));
    const RawRow row1{"bt-1", "name-1", "pass-1", "bz-1", "A"};
    const RawRow row3{"bt-3", "name-3", "pass-3", "bz-3", "A"};
    const char* kAll = "select * from userpass order by OID";

    ASSERT_TRUE(update_record(db_, second, make_record("x", "B")).ok());
    EXPECT_EQ(raw_->rows(kAll),
              (std::vector<RawRow>{row1, {"bt-x", "name-x", "pass-x", "bz-x", "B"}, row3}));

    ASSERT_TRUE(move_record(db_, second, "C").ok());
    EXPECT_EQ(raw_->rows(kAll),
              (std::vector<RawRow>{row1, {"bt-x", "name-x", "pass-x", "bz-x", "C"}, row3}));

    ASSERT_TRUE(delete_record(db_, second).ok());
    EXPECT_EQ(raw_->rows(kAll), (std::vector<RawRow>{row1, row3}));
    EXPECT_EQ(*load_record(db_, second), std::nullopt);
    EXPECT_EQ(*record_password(db_, second), "");
    EXPECT_EQ(*record_password(db_, third), "pass-3");

    // A missing OID changes nothing, and says so rather than report a change.
    EXPECT_FALSE(update_record(db_, 99, make_record("y", "B")).ok());
    EXPECT_FALSE(move_record(db_, 99, "B").ok());
    EXPECT_FALSE(delete_record(db_, second).ok());
    EXPECT_FALSE(delete_category(db_, "never added").ok());
    EXPECT_EQ(raw_->rows(kAll), (std::vector<RawRow>{row1, row3}));

    auto all = all_records(db_);
    ASSERT_TRUE(all.ok());
    EXPECT_EQ(*all, (std::vector<VaultRecord>{make_record("1", "A"), make_record("3", "A")}));
    EXPECT_EQ(*record_password(db_, first), "pass-1");
}

TEST_F(VaultStatementsTest, InsertThatAddsNoRowIsAnErrorNotAStaleRowid) {
    create();
    add(make_record("kept", "A"));
    // RAISE(IGNORE) drops the row without an error: only the change count tells.
    raw_->exec(
        "create trigger drop_rows before insert on userpass begin select raise(ignore); end;"
        "create trigger drop_types before insert on type begin select raise(ignore); end;");
    auto inserted = insert_record(db_, make_record("dropped", "A"));
    ASSERT_FALSE(inserted.ok());
    EXPECT_TRUE(inserted.error().startsWith(QStringLiteral("保存记录失败")));
    EXPECT_FALSE(insert_record_without_category(db_, make_record("dropped", "")).ok());
    EXPECT_FALSE(insert_category(db_, "A").ok());
    EXPECT_EQ(raw_->value("select count(*) from userpass"), "1");
}

TEST_F(VaultStatementsTest, RecordExistsRequiresAllFiveFieldsEqual) {
    create();
    const VaultRecord record = make_record("r", "A");
    add(record);
    EXPECT_TRUE(*record_exists(db_, record));

    std::string VaultRecord::*fields[] = {&VaultRecord::title, &VaultRecord::account,
                                          &VaultRecord::password, &VaultRecord::remark,
                                          &VaultRecord::category};
    for (auto field : fields) {
        VaultRecord changed = record;
        changed.*field += "!";
        EXPECT_FALSE(*record_exists(db_, changed)) << changed.*field;
        changed.*field = "";
        EXPECT_FALSE(*record_exists(db_, changed));
    }

    // A NULL type equals nothing, not even the empty text.
    const RecordId null_typed = add_null_typed("n");
    ASSERT_GT(null_typed, 0);
    EXPECT_FALSE(*record_exists(db_, make_record("n", "")));
}

// Record lists

TEST_F(VaultStatementsTest, CategoryListMatchesTypeExactlyInRowOrder) {
    create();
    const RecordId a1 = add(make_record("a1", "A"));
    add(make_record("b", "B"));
    add(make_record("lower", "a"));
    const RecordId a2 = add(make_record("a2", "A"));
    add_null_typed("n");

    auto rows = list_records_of_category(db_, "A");
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(as_raw(*rows),
              (std::vector<RawRow>{{std::to_string(a1), "bt-a1", "name-a1", "bz-a1"},
                                   {std::to_string(a2), "bt-a2", "name-a2", "bz-a2"}}));
    EXPECT_TRUE(list_records_of_category(db_, "Z")->empty());
}

TEST_F(VaultStatementsTest, RootViewWithCategoriesListsRecordsOfNoCategory) {
    create();
    add_category("A");
    add_category("B");
    add_category("C");
    add(make_record("a", "A"));
    const RecordId root_typed = add(make_record("root", kRootCategory));
    add(make_record("b", "B"));
    add_null_typed("null");
    const RecordId deleted = add(make_record("c", "C"));
    auto old = insert_record_without_category(db_, make_record("old", ""));
    ASSERT_TRUE(old.ok());
    ASSERT_TRUE(delete_category(db_, "C").ok());

    EXPECT_EQ(oids(root()), (std::vector<RecordId>{root_typed, deleted, *old}));
}

TEST_F(VaultStatementsTest, RootViewWithoutCategoriesListsEveryRecord) {
    create();
    const RecordId a = add(make_record("a", "A"));
    const RecordId null_typed = add_null_typed("null");
    const RecordId empty = add(make_record("e", ""));
    EXPECT_EQ(oids(root()), (std::vector<RecordId>{a, null_typed, empty}));
}

TEST_F(VaultStatementsTest, DuplicateAndEmptyCategoryNames) {
    create();
    const RecordId a = add(make_record("a", "A"));
    const RecordId b = add(make_record("b", "B"));
    const RecordId empty = add(make_record("e", ""));

    add_category("A");
    add_category("A");
    EXPECT_EQ(*list_categories(db_), (std::vector<std::string>{"A", "A"}));
    EXPECT_EQ(oids(root()), (std::vector<RecordId>{b, empty}));

    add_category("");
    EXPECT_EQ(oids(root()), (std::vector<RecordId>{b}));

    // Deleting removes every row of that name and leaves the records alone.
    ASSERT_TRUE(delete_category(db_, "A").ok());
    EXPECT_EQ(*list_categories(db_), (std::vector<std::string>{""}));
    EXPECT_EQ(raw_->value("select count(*) from userpass"), "3");
    EXPECT_EQ(raw_->value("select type from userpass where OID = ?", {std::to_string(a)}), "A");
    EXPECT_EQ(oids(root()), (std::vector<RecordId>{a, b}));
}

// The old program listed the root with "type <>'A' AND type <> 'B' ..." built by string
// formatting, and with no WHERE at all when there were no categories. Builds that text for
// quote-free names and checks the same rows come back.
TEST_F(VaultStatementsTest, RootViewMatchesOldInequalityChain) {
    create();
    for (const std::string type : {"A", "B", "C", "", kRootCategory}) {
        add(make_record(type.empty() ? "empty" : type, type));
    }
    add_null_typed("null1");
    add(make_record("A2", "A"));
    add_null_typed("null2");

    // Each step adds categories (nullopt: a NULL leibie, as a damaged file could hold).
    const std::vector<std::vector<RawValue>> steps = {
        {}, {"A"}, {"B"}, {"A"}, {""}, {kRootCategory}, {"Z"}, {std::nullopt},
    };
    std::vector<RawValue> categories;
    for (const auto& step : steps) {
        for (const RawValue& name : step) {
            if (name) {
                add_category(*name);
            } else {
                raw_->exec("insert into type values(NULL)");
            }
            categories.push_back(name);
        }
        // The old program read each name as text before building the chain: NULL as ''.
        std::string chain = "select OID,bt,name,bz from userpass";
        for (std::size_t i = 0; i < categories.size(); ++i) {
            chain += i == 0 ? " where type <>" : " AND type <> ";
            chain += "'" + categories[i].value_or("") + "'";
        }
        SCOPED_TRACE(chain);
        const std::vector<RawRow> expected = raw_->rows(chain);
        EXPECT_EQ(as_raw(root()), expected);
        if (categories.empty()) {
            EXPECT_EQ(expected.size(), 8u);
        }
    }
    // A NULL category row hides records of empty type only, never the whole root view.
    EXPECT_EQ(as_raw(root()), raw_->rows("select OID,bt,name,bz from userpass where bt='bt-C'"));
}

// Failures

TEST_F(VaultStatementsTest, FailuresAreReportedInChineseWithSqliteText) {
    auto inserted = insert_record(db_, make_record("x", "A"));
    ASSERT_FALSE(inserted.ok());
    EXPECT_TRUE(inserted.error().startsWith(QStringLiteral("保存记录失败")))
        << inserted.error().toStdString();
    EXPECT_TRUE(inserted.error().contains(QStringLiteral("no such table: userpass")));

    EXPECT_FALSE(list_root_records(db_).ok());
    EXPECT_FALSE(record_exists(db_, make_record("x", "A")).ok());

    // A read-only file refuses writes with SQLite's reason attached.
    create();
    db_.close();
    auto read_only = SqliteDb::open(path_, SqliteDb::Mode::ReadOnly);
    ASSERT_TRUE(read_only.ok());
    Status status = insert_category(*read_only, "A");
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().startsWith(QStringLiteral("添加分类失败")));
    EXPECT_TRUE(status.error().contains(QStringLiteral("readonly")))
        << status.error().toStdString();
}

}  // namespace
}  // namespace korvane::statements

// SPDX-License-Identifier: GPL-3.0-or-later
// Record search against real database files: what matches, what never does, and the GBK bytes
// that look like a match without being one.
#include "vault/record_search.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/raw_sqlite.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane::search {
namespace {

std::string gbk(const char* utf8) {
    return *text::to_gbk(QString::fromUtf8(utf8), QStringLiteral("测试"));
}

struct SearchCase {
    const char* name;
    VaultRecord stored;
    const char* text;  // UTF-8
    bool found;
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

std::vector<SearchCase> search_cases() {
    const auto titled = [](std::string title) { return VaultRecord{title, "", "", "", ""}; };
    return {
        {"LatinFoldsCase", titled("GitHub"), "gITHUB", true},
        {"AccountIsSearched", {"t", "Me@Example.com", "", "", ""}, "example.COM", true},
        {"RemarkIsSearched", {"t", "", "", "Work Code", ""}, "k c", true},
        {"PasswordIsNeverSearched", {"t", "", "hunter2", "", ""}, "hunter2", false},
        {"ChineseIsExact", titled(gbk("中国银行")), "银河", false},
        // 你好 is C4 E3 BA C3; read as UTF-8, as LIKE reads it, E3 takes BA along.
        {"CharacterAfterAUtf8LeadByte", titled(gbk("你好")), "好", true},
        {"UpperAIsNotTheTrailByte41", titled("\x81\x41"), "A", false},  // 丄
        {"LowerAIsNotTheTrailByte41", titled("\x81\x41"), "a", false},
        {"NoMatchAcrossTwoCharacters", titled(gbk("中文")), "形", false},  // D6[D0 CE]C4
        {"MixedTextFoldsOnlyTheLatin", titled(gbk("QQ邮箱Mail")), "邮箱mAIL", true},
        {"PercentIsNoWildcard", titled("100"), "%", false},
        {"UnderscoreIsNoWildcard", titled("ab"), "_", false},
        {"BackslashIsLiteral", titled("C:\\dir"), "\\", true},
        {"BackslashEscapesNothing", titled("C:dir"), "\\d", false},
        {"InvalidBytesAroundAMatch",
         titled("\xff"
                "qz\x81"),
         "qz", true},
        {"TextGbkCannotHold", titled(gbk("笑")), "😀", false},
        {"EmptyTextFindsNothing", titled("abc"), "", false},
    };
}

class RecordSearchTest : public ::testing::TestWithParam<SearchCase> {
protected:
    void SetUp() override {
        db_ = std::move(SqliteDb::open(path())).value();
        ASSERT_TRUE(statements::create_schema(db_).ok());
    }
    QString path() const { return dir_.filePath(QStringLiteral("vault.db")); }

    QTemporaryDir dir_;
    SqliteDb db_;
};

TEST_P(RecordSearchTest, FindsTheRecordOnlyWhenItsShownTextHoldsTheSearch) {
    const SearchCase& c = GetParam();
    const auto oid = statements::insert_record(db_, c.stored);
    ASSERT_TRUE(oid.ok());
    const auto found = find_records(db_, QString::fromUtf8(c.text));
    ASSERT_TRUE(found.ok()) << found.error().toStdString();
    std::vector<RecordId> oids;
    for (const RecordMatch& match : *found) oids.push_back(match.record.oid);
    EXPECT_EQ(oids, c.found ? std::vector<RecordId>{*oid} : std::vector<RecordId>{});
}

INSTANTIATE_TEST_SUITE_P(Rows, RecordSearchTest, ::testing::ValuesIn(search_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordSearchTest, FindsInEveryCategoryWithTheStoredCategory) {
    ASSERT_TRUE(statements::insert_category(db_, gbk("工作")).ok());
    for (const VaultRecord& record : {VaultRecord{"Mail 1", "", "", "", gbk("工作")},
                                      VaultRecord{"x", "", "mail", "", gbk("工作")},
                                      VaultRecord{"MAIL 2", "", "", "", kRootCategory},
                                      VaultRecord{"x", "", "", "my mail", gbk("旧分类")}}) {
        ASSERT_TRUE(statements::insert_record(db_, record).ok());
    }
    // Written by other programs: a NULL category, a title stored as a blob.
    test_support::RawSqlite(path()).exec(
        "insert into userpass values('mail 3','','','',NULL);"
        "insert into userpass values(cast('mail 4' as blob),'','','','');");

    const auto found = find_records(db_, QStringLiteral("mail"));
    ASSERT_TRUE(found.ok()) << found.error().toStdString();
    std::vector<std::string> shown;
    for (const RecordMatch& match : *found)
        shown.push_back(match.record.title + "|" + match.category);
    EXPECT_EQ(shown, (std::vector<std::string>{"Mail 1|" + gbk("工作"),
                                               std::string("MAIL 2|") + kRootCategory,
                                               "x|" + gbk("旧分类"), "mail 3|", "mail 4|"}));
}

}  // namespace
}  // namespace korvane::search

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

class SearchDatabase {
public:
    SearchDatabase() {
        path_ = dir_.filePath(QStringLiteral("vault.db"));
        db_ = std::move(SqliteDb::open(path_)).value();
        EXPECT_TRUE(statements::create_schema(db_).ok());
    }
    SqliteDb& db() { return db_; }
    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    QString path_;
    SqliteDb db_;
};

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
        {"LatinLowerFindsMixedCase", titled("GitHub"), "github", true},
        {"LatinUpperFindsMixedCase", titled("GitHub"), "GITHUB", true},
        {"AccountIsSearched", {"t", "Me@Example.com", "", "", ""}, "example.COM", true},
        {"RemarkIsSearched", {"t", "", "", "Work Code", ""}, "k c", true},
        {"PasswordIsNeverSearched", {"t", "", "hunter2", "", ""}, "hunter2", false},
        {"ChineseFound", titled(gbk("中国银行")), "银行", true},
        {"ChineseIsExact", titled(gbk("中国银行")), "银河", false},
        // 你好 is C4 E3 BA C3. Read as UTF-8 (as LIKE reads it), E3 takes BA along, so a
        // character-wise scan never starts at 好.
        {"CharacterAfterAUtf8LeadByte", titled(gbk("你好")), "好", true},
        {"UpperAIsNotTheTrailByte41", titled("\x81\x41"), "A", false},     // 丄
        {"LowerAIsNotTheTrailByte41", titled("\x81\x41"), "a", false},     // 丄
        {"UpperAIsNotTheTrailByte61", titled("\x81\x61"), "A", false},     // 乤
        {"NoMatchAcrossTwoCharacters", titled(gbk("中文")), "形", false},  // D6[D0 CE]C4
        {"MixedTextFoldsOnlyTheLatin", titled(gbk("QQ邮箱Mail")), "邮箱mAIL", true},
        {"PercentIsLiteral", titled("100%"), "%", true},
        {"PercentIsNoWildcard", titled("100"), "%", false},
        {"UnderscoreIsLiteral", titled("a_b"), "_", true},
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

class RecordSearchCaseTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(RecordSearchCaseTest, FindsTheRecordOnlyWhenItsShownTextHoldsTheSearch) {
    const SearchCase& c = GetParam();
    SearchDatabase vault;
    const auto oid = statements::insert_record(vault.db(), c.stored);
    ASSERT_TRUE(oid.ok());

    const auto found = find_records(vault.db(), QString::fromUtf8(c.text));
    ASSERT_TRUE(found.ok()) << found.error().toStdString();
    ASSERT_EQ(found->size(), c.found ? 1u : 0u);
    if (c.found) {
        EXPECT_EQ(found->front().record,
                  (RecordSummary{*oid, c.stored.title, c.stored.account, c.stored.remark}));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RecordSearchCaseTest, ::testing::ValuesIn(search_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordSearchTest, FindsAcrossCategoriesWithTheStoredCategory) {
    SearchDatabase vault;
    ASSERT_TRUE(statements::insert_category(vault.db(), gbk("工作")).ok());
    ASSERT_TRUE(statements::insert_category(vault.db(), gbk("家庭")).ok());
    const std::vector<VaultRecord> records = {
        {"Mail 1", "", "", "", gbk("工作")},     {"other", "", "mail", "", gbk("工作")},
        {"mail 2", "", "", "", gbk("家庭")},     {"MAIL 3", "", "", "", kRootCategory},
        {"x", "", "", "my mail", gbk("旧分类")},  // a category since deleted
    };
    for (const VaultRecord& record : records) {
        ASSERT_TRUE(statements::insert_record(vault.db(), record).ok());
    }
    // Rows written by other programs: a NULL category, and a title stored as a blob.
    test_support::RawSqlite(vault.path())
        .exec(
            "insert into userpass values('mail 4','','','',NULL);"
            "insert into userpass values(cast('mail 5' as blob),'','','','');");

    const auto found = find_records(vault.db(), QStringLiteral("mail"));
    ASSERT_TRUE(found.ok()) << found.error().toStdString();
    std::vector<std::pair<std::string, std::string>> shown;
    for (const RecordMatch& match : *found) shown.emplace_back(match.record.title, match.category);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Mail 1", gbk("工作")}, {"mail 2", gbk("家庭")}, {"MAIL 3", kRootCategory},
        {"x", gbk("旧分类")},    {"mail 4", ""},          {"mail 5", ""},
    };
    EXPECT_EQ(shown, expected);
}

// The byte prefilter can only miss a match if a character could be stored under other bytes than
// the ones the search text encodes to.
TEST(RecordSearchTest, EveryDoubleByteCharacterEncodesBackToItsOwnBytes) {
    int checked = 0;
    for (int lead = 0x81; lead <= 0xfe; ++lead) {
        for (int trail = 0x40; trail <= 0xfe; ++trail) {
            const std::string bytes{char(lead), char(trail)};
            if (!text::is_valid_gbk(bytes)) continue;
            ++checked;
            const auto back = text::to_gbk(text::from_gbk(bytes), QStringLiteral("测试"));
            ASSERT_TRUE(back.ok() && *back == bytes) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(checked, 20000);
}

}  // namespace
}  // namespace korvane::search

// SPDX-License-Identifier: GPL-3.0-or-later
// Search speed per keystroke: search::find_records over 100 000 records against the bare
// "bt LIKE ? OR name LIKE ? OR bz LIKE ?" query over the same table, stepped by hand into plain
// strings, for a Latin text, a Chinese text and a text nothing holds. The bare query is only a
// yardstick: over GBK bytes it misses matches and finds false ones.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "vault/record_search.h"
#include "vault/sqlite_db.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace {

using namespace korvane;

constexpr int kRecords = 100000;

std::string gbk(const char* utf8) {
    return *text::to_gbk(QString::fromUtf8(utf8), QStringLiteral("bench"));
}

// Titles, accounts and remarks as people write them: Chinese, Latin and both, so that every
// search text hits some records and passes over many more.
VaultRecord record(int i) {
    static const std::vector<std::string> titles = {
        gbk("网上银行"), "Gmail", gbk("工商银行网银"), "GitHub",           gbk("QQ邮箱"),
        gbk("淘宝账号"), "Steam", gbk("公司VPN"),      gbk("家里的路由器")};
    static const std::vector<std::string> remarks = {
        gbk("每三个月修改一次密码"), "recovery codes in the safe", gbk("绑定手机 13800000000"), "",
        gbk("旧密码已停用")};
    static const std::vector<std::string> categories = {gbk("工作"), gbk("家庭"), gbk("银行卡"),
                                                        gbk("游戏"), kRootCategory};
    const std::string n = std::to_string(i);
    return {titles[std::size_t(i) % titles.size()] + " " + n,
            i % 3 ? "user" + n + "@example.com" : gbk("张三") + n, "pass-" + n + "-x9!",
            remarks[std::size_t(i) % remarks.size()] + n,
            categories[std::size_t(i) % categories.size()]};
}

struct Fixture {
    QTemporaryDir dir;
    SqliteDb db;
    bool ready = false;

    Fixture() {
        auto opened = SqliteDb::open(dir.filePath("user.tmp"));
        if (!opened) return;
        db = std::move(opened).value();
        if (!statements::create_schema(db)) return;
        SqliteTransaction transaction(db);
        for (int i = 0; i < kRecords; ++i) {
            if (!statements::insert_record(db, record(i))) return;
        }
        ready = transaction.commit().ok();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::string column_bytes(sqlite3_stmt* stmt, int i) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
    return data ? std::string(data, std::size_t(sqlite3_column_bytes(stmt, i))) : std::string();
}

void BM_FindRecords(benchmark::State& state, const char* utf8) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    const QString text = QString::fromUtf8(utf8);
    std::size_t found = 0;
    for (auto _ : state) {
        auto matches = search::find_records(f.db, text);
        if (!matches) state.SkipWithError("search failed");
        found = matches->size();
        benchmark::DoNotOptimize(matches->data());
    }
    state.counters["found"] = double(found);
}

// Reference: the bare LIKE query, the text's GBK bytes between two '%', rows read into the same
// strings a result holds.
void BM_BareLike(benchmark::State& state, const char* utf8) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    // Appended, not "%" + text + "%": GCC 12 at -O3 takes that for an overlapping copy
    // (-Wrestrict), which -Werror turns into a failed Release build.
    std::string pattern(1, '%');
    pattern += gbk(utf8);
    pattern += '%';
    std::size_t found = 0;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(f.db.handle(),
                           "select OID,bt,name,bz,type from userpass where bt like ? or name like "
                           "? or bz like ?",
                           -1, &stmt, nullptr);
        for (int i = 1; i <= 3; ++i) {
            sqlite3_bind_text(stmt, i, pattern.data(), int(pattern.size()), SQLITE_STATIC);
        }
        std::vector<RecordMatch> rows;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            rows.push_back({{sqlite3_column_int64(stmt, 0), column_bytes(stmt, 1),
                             column_bytes(stmt, 2), column_bytes(stmt, 3)},
                            column_bytes(stmt, 4)});
        }
        sqlite3_finalize(stmt);
        found = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["found"] = double(found);
}

#define SEARCH_CASE(name, text)                                                            \
    BENCHMARK_CAPTURE(BM_BareLike, name, text)->Unit(benchmark::kMillisecond)->MinTime(1); \
    BENCHMARK_CAPTURE(BM_FindRecords, name, text)->Unit(benchmark::kMillisecond)->MinTime(1)

SEARCH_CASE(latin_letter, "m");
SEARCH_CASE(latin_word, "Mail");
SEARCH_CASE(chinese, "银行");
SEARCH_CASE(no_hit, "zqxj");

}  // namespace

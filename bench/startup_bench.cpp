// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and category switches of the real window, offscreen: from the password given at the
// login to the main window shown with the root view filled and laid out, against the cipher
// alone over as many bytes as user.dat plus the bare root query; and a switch of the tree's
// selection against the bare query of that category. KORVANE_BENCH_RECORDS sets the size
// (100 000 unless given; 1000000 for the large case).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_session.h"
#include "gui/window/category_tree.h"
#include "gui/window/korvane_application.h"
#include "gui/window/main_window.h"
#include "gui/window/record_list.h"
#include "vault/block_cipher_pool.h"
#include "vault/mars_cipher.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace {

using namespace korvane;
using bench::FixedPrompts;
using bench::gbk;
using bench::kPassword;

int record_count() {
    const char* given = std::getenv("KORVANE_BENCH_RECORDS");
    const int n = given ? std::atoi(given) : 0;
    return n > 0 ? n : 100000;
}

// A sealed vault of record_count() records: half in the root view, half in the category 工作.
struct Fixture {
    QTemporaryDir dir;
    QString plain = dir.filePath(QStringLiteral("plain.db"));
    std::string category = gbk(QStringLiteral("工作"));
    int records = record_count();
    qint64 sealed_bytes = 0;
    bool ready = false;

    Fixture() {
        const QString vault_dir = dir.filePath(QStringLiteral("vault"));
        VaultSession doc(vault_dir);
        FixedPrompts prompts;
        if (doc.start(prompts) != StartOutcome::Unlocked) return;
        if (!fill(doc.db())) return;
        if (!QFile::copy(doc.work_path(), plain) || !doc.lock()) return;
        sealed_bytes = QFileInfo(doc.vault_path()).size();
        ready = true;
    }

    bool fill(SqliteDb& db) {
        const std::string title = gbk(QStringLiteral("网上银行账号"));
        const std::string remark = gbk(QStringLiteral("备注：每三个月修改一次密码，绑定手机 138"));
        SqliteTransaction transaction(db);
        if (!statements::insert_category(db, category)) return false;
        auto insert = statements::prepare_record_insert(db);
        if (!insert) return false;
        for (int i = 0; i < records; ++i) {
            const std::string n = std::to_string(i);
            const std::string t = title + " " + n, a = "user" + n + "@example.com", p = "pass" + n,
                              r = remark + n;
            const RecordView row(t, a, p, r, i % 2 ? category : std::string(kRootCategory));
            if (!statements::insert_record(db, *insert, row)) return false;
        }
        return transaction.commit().ok();
    }

    QString vault_dir() const { return dir.filePath(QStringLiteral("vault")); }
};

std::unique_ptr<Fixture> shared_fixture;

Fixture& fixture() {
    if (!shared_fixture) shared_fixture = std::make_unique<Fixture>();
    return *shared_fixture;
}

QApplication& application() { return *qobject_cast<QApplication*>(QCoreApplication::instance()); }

// The rows of one view read by hand into plain strings, as the list model keeps them.
std::size_t bare_query(sqlite3* db, const char* sql, const std::string* category) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (category) {
        sqlite3_bind_text(stmt, 1, category->data(), int(category->size()), SQLITE_STATIC);
    }
    struct Row {
        sqlite3_int64 oid;
        std::string title, account, remark;
    };
    std::vector<Row> rows;
    const auto bytes = [stmt](int i) {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        return data ? std::string(data, std::size_t(sqlite3_column_bytes(stmt, i))) : std::string();
    };
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        rows.push_back({sqlite3_column_int64(stmt, 0), bytes(1), bytes(2), bytes(3)});
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(rows.data());
    return rows.size();
}

constexpr char kRootQuery[] =
    "select OID,bt,name,bz from userpass where type not in (select ifnull(leibie,'') from type)";
constexpr char kCategoryQuery[] = "select OID,bt,name,bz from userpass where type=?";

// From the password to the window shown: the session's start (folder checks, decipher, open,
// schema check), the main window built, its tree and list filled, shown, and the events that
// lay out and paint it processed. Sealing again between runs is not timed.
void BM_StartUp(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        FixedPrompts prompts;
        auto app = std::make_unique<KorvaneApplication>(application());
        const bool started = app->start(prompts, f.vault_dir());
        QCoreApplication::processEvents();
        state.PauseTiming();
        const int rows = started ? app->frame()->record_list().row_count() : 0;
        if (rows != f.records / 2) state.SkipWithError("wrong start");
        const bool sealed = app->shut_down(true).ok();
        app.reset();
        state.ResumeTiming();
        if (!sealed) {
            state.SkipWithError("seal failed");
            break;
        }
    }
    state.counters["records"] = f.records;
}

// Reference: the cipher alone over as many bytes as user.dat, in memory, then the bare root
// query on a fresh connection.
void BM_DecipherAndRootQuery(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    MarsCipher cipher;
    cipher.set_key(kPassword);
    // The decipher at its floor: every core, in memory, no file in between.
    BlockCipherPool pool;
    std::vector<std::uint8_t> bytes(std::size_t(f.sealed_bytes), 0x5a);
    for (auto _ : state) {
        (void)pool.run(bytes.data(), bytes.size(), cipher, CipherDirection::Decrypt);
        benchmark::DoNotOptimize(bytes.data());
        SqliteDb db = SqliteDb::open(f.plain, SqliteDb::Mode::ReadOnly).value();
        if (bare_query(db.handle(), kRootQuery, nullptr) != std::size_t(f.records / 2)) {
            state.SkipWithError("wrong row count");
        }
    }
}

// One switch of the tree's selection to range(0) (0 the root, 1 the category 工作), the list
// filled and laid out; the switch back is not timed.
void BM_SwitchCategory(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    FixedPrompts prompts;
    KorvaneApplication app(application());
    if (!app.start(prompts, f.vault_dir())) {
        state.SkipWithError("no start");
        return;
    }
    QCoreApplication::processEvents();
    CategoryTree& tree = app.frame()->category_tree();
    QTreeWidgetItem* root = tree.root_item();
    QTreeWidgetItem* other = root->child(0);
    QTreeWidgetItem* target = state.range(0) == 0 ? root : other;
    QTreeWidgetItem* away = state.range(0) == 0 ? other : root;
    for (auto _ : state) {
        state.PauseTiming();
        tree.setCurrentItem(away);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        tree.setCurrentItem(target);
        QCoreApplication::processEvents();
    }
    (void)app.shut_down(true);
}

// Reference: the bare query of the same category on the same kind of connection.
void BM_BareCategoryQuery(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    SqliteDb db = SqliteDb::open(f.plain, SqliteDb::Mode::ReadOnly).value();
    for (auto _ : state) {
        const std::size_t rows = state.range(0) == 0
                                     ? bare_query(db.handle(), kRootQuery, nullptr)
                                     : bare_query(db.handle(), kCategoryQuery, &f.category);
        if (rows != std::size_t(f.records / 2)) state.SkipWithError("wrong row count");
    }
}

BENCHMARK(BM_DecipherAndRootQuery)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BareCategoryQuery)
    ->ArgName("category")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_SwitchCategory)
    ->ArgName("category")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window stores its look at exit; the user's own settings are left alone.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    shared_fixture.reset();
    return 0;
}

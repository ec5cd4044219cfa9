// SPDX-License-Identifier: GPL-3.0-or-later
// Record list fill speed: RecordList::fill_list of 100 000 root records against the bare SQLite
// query reading the same rows into std::strings, in the same run on the same connection
// (through EncipheredVfs); and the whole unlock (key check, open, first fill) against the
// vault deciphered whole on every core into memory plus that bare query there.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_session.h"
#include "gui/commands/command_router.h"
#include "gui/records/record_list.h"
#include "platform/clipboard_clearer.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace {

using namespace korvane;
using bench::FixedPrompts;
using bench::gbk;

constexpr int kRecords = 100000;
struct Fixture {
    QTemporaryDir dir;
    VaultSession doc{dir.path()};
    CommandRouter router;
    ClipboardClearer clearer;
    std::unique_ptr<RecordList> view;
    qint64 database_bytes = 0;
    bool ready = false;

    Fixture() {
        FixedPrompts prompts;
        if (doc.start(prompts) != StartOutcome::Unlocked) return;
        const std::string title = gbk(QStringLiteral("网上银行账号"));
        const std::string remark =
            gbk(QStringLiteral("备注：每三个月修改一次密码，绑定手机 13800000000"));
        SqliteTransaction transaction(doc.db());
        for (int i = 0; i < kRecords; ++i) {
            const std::string n = std::to_string(i);
            const VaultRecord record{title + " " + n, "user" + n + "@example.com", "pass" + n,
                                     remark + n, kRootCategory};
            if (!statements::insert_record(doc.db(), record).ok()) return;
        }
        if (!transaction.commit().ok()) return;
        view = std::make_unique<RecordList>(doc, router, clearer);
        view->resize(1000, 600);
        view->show();
        database_bytes = QFileInfo(doc.vault_path()).size();
        ready = true;
    }
};

// Made on first use, after the QApplication; dropped in main before the QApplication goes.
std::unique_ptr<Fixture> shared_fixture;

Fixture& fixture() {
    if (!shared_fixture) shared_fixture = std::make_unique<Fixture>();
    return *shared_fixture;
}

struct BareRow {
    sqlite3_int64 oid;
    std::string title, account, remark;
};

// sqlite3_column_text has to add a terminating zero to a value read from a page, which costs a
// copy per column; sqlite3_column_blob hands out the page's bytes, as the vault's reader does.
std::string column_text(sqlite3_stmt* stmt, int i) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    return text ? std::string(text, std::size_t(sqlite3_column_bytes(stmt, i))) : std::string();
}

std::string column_bytes(sqlite3_stmt* stmt, int i) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
    return data ? std::string(data, std::size_t(sqlite3_column_bytes(stmt, i))) : std::string();
}

// The root view's query, stepped by hand into plain strings.
template <std::string (*read)(sqlite3_stmt*, int)>
std::vector<BareRow> bare_root_query(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        db, "select OID,bt,name,bz from userpass where type not in (select leibie from type)", -1,
        &stmt, nullptr);
    std::vector<BareRow> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        rows.push_back(
            {sqlite3_column_int64(stmt, 0), read(stmt, 1), read(stmt, 2), read(stmt, 3)});
    }
    sqlite3_finalize(stmt);
    return rows;
}

// Reference: the bare query. Like the list model, it keeps the previous rows until the new ones
// are read, so both see the same allocator pattern.
template <std::string (*read)(sqlite3_stmt*, int)>
void BM_BareRootQuery100k(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    std::vector<BareRow> kept;
    for (auto _ : state) {
        std::vector<BareRow> rows = bare_root_query<read>(f.doc.db().handle());
        if (rows.size() != std::size_t(kRecords)) state.SkipWithError("wrong row count");
        kept.swap(rows);
        benchmark::DoNotOptimize(kept.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// What the user waits for from the password to the list: the key checked, user.dat opened
// through the VFS, and the root view's rows read into the list model. Locking again in between
// is not timed.
void BM_UnlockOpenFill100k(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    FixedPrompts prompts;
    for (auto _ : state) {
        state.PauseTiming();
        f.doc.lock();
        f.doc.release_folder();
        state.ResumeTiming();
        if (f.doc.start(prompts) != StartOutcome::Unlocked) {
            state.SkipWithError("lock or unlock failed");
            break;
        }
        f.view->fill_list({});
        if (f.view->row_count() != kRecords) state.SkipWithError("wrong row count");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.counters["MiB"] = double(f.database_bytes) / (1 << 20);
}

// Reference for the unlock: user.dat deciphered whole on every core into memory, opened there,
// and the bare query of the same rows.
void BM_DecipherAndBareQuery100k(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    std::vector<BareRow> kept;
    for (auto _ : state) {
        bench::Connection db = bench::open_deciphered(f.doc.vault_path());
        if (!db) {
            state.SkipWithError("decipher failed");
            break;
        }
        std::vector<BareRow> rows = bare_root_query<column_bytes>(db.get());
        if (rows.size() != std::size_t(kRecords)) state.SkipWithError("wrong row count");
        kept.swap(rows);
        benchmark::DoNotOptimize(kept.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_FillList100k(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        f.view->fill_list({});
        if (f.view->row_count() != kRecords) state.SkipWithError("wrong row count");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// What the user waits for until the list is drawn: the fill, then the view's deferred layout
// and one paint, in the mode given by range(0) (a view command id).
void BM_FillListAndLayout100k(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no vault");
        return;
    }
    f.view->on_view_mode(int(state.range(0)));
    for (auto _ : state) {
        f.view->fill_list({});
        QAbstractItemView& shown = f.view->current_view();
        shown.doItemsLayout();
        shown.viewport()->repaint();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK_TEMPLATE(BM_BareRootQuery100k, column_text)
    ->Name("BM_BareRootQuery100k/column_text")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK_TEMPLATE(BM_BareRootQuery100k, column_bytes)
    ->Name("BM_BareRootQuery100k/column_blob")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_FillList100k)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_DecipherAndBareQuery100k)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_UnlockOpenFill100k)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FillListAndLayout100k)
    ->ArgName("view")
    ->Arg(59409)  // large icons
    ->Arg(59408)  // small icons
    ->Arg(59410)  // list
    ->Arg(59411)  // details
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

const bool kGoals =
    bench::add_goal({"Fill of 100 000 (no goal): against the bare query on the same connection",
                     "BM_FillList100k",
                     {"BM_BareRootQuery100k/column_blob"}}) &&
    bench::add_goal({"Unlock and first fill of 100 000 (no goal): against decipher into memory "
                     "+ the bare query",
                     "BM_UnlockOpenFill100k",
                     {"BM_DecipherAndBareQuery100k"}});

}  // namespace

int main(int argc, char** argv) {
    korvane::bench::configure_sqlite();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int code = korvane::bench::run_benchmarks(argc, argv);
    shared_fixture.reset();
    return code;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The real window, offscreen, on the vault of bench_session.h (KORVANE_BENCH_RECORDS records,
// 100 000 unless given; 1000000 for the goals, a 279 MiB vault):
//
// - start-up, from the password given at the login to the main window shown with the root view
//   filled and laid out, against the whole vault deciphered on every core into memory and the
//   root query stepped there into plain strings;
// - a switch of the tree's selection against the bare query of that view on the same image;
// - the lock (VaultLocker::lock: dialogs withdrawn, the views emptied, the vault locked, the
//   panel shown) on that vault, with the same lock of a 16 KiB vault beside it.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTreeWidgetItem>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_session.h"
#include "gui/categories/category_tree.h"
#include "gui/lock/unlock_panel.h"
#include "gui/lock/vault_locker.h"
#include "gui/records/record_list.h"
#include "gui/window/korvane_application.h"
#include "gui/window/main_window.h"
#include "vault/vault_session.h"

namespace {

using namespace korvane;
using bench::BuiltVault;
using bench::FixedPrompts;
using bench::vault_of;

QApplication& application() { return *qobject_cast<QApplication*>(QCoreApplication::instance()); }

// The window program on vault, shown and settled; false (the case skipped) if it did not start.
bool start_window(benchmark::State& state, KorvaneApplication& app, const BuiltVault& vault) {
    FixedPrompts prompts;
    if (!app.start(prompts, vault.vault_dir)) {
        state.SkipWithError("no start");
        return false;
    }
    QCoreApplication::processEvents();
    return true;
}

// The rows of one view read by hand into plain strings, as the list model keeps them.
std::size_t bare_query(sqlite3* db, const char* sql, const std::string* category) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return 0;
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

constexpr char kCategoryQuery[] = "select OID,bt,name,bz from userpass where type=?";
const std::string kWork = "Work";

// From the password to the window shown: the session's start (folder checks, user.lock, key
// check, open through the VFS, schema check), the main window built, its tree and list filled,
// shown, and the events that lay out and paint it processed. The shut-down is not timed.
void BM_StartUp(benchmark::State& state) {
    BuiltVault& vault = bench::read_vault();
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        FixedPrompts prompts;
        auto app = std::make_unique<KorvaneApplication>(application());
        const bool started = app->start(prompts, vault.vault_dir);
        QCoreApplication::processEvents();
        state.PauseTiming();
        const int rows = started ? app->main_window()->record_list().row_count() : 0;
        app->shut_down();
        app.reset();
        state.ResumeTiming();
        if (rows != bench::root_records(vault.records)) {
            state.SkipWithError("wrong start");
            break;
        }
    }
    state.counters["records"] = vault.records;
    state.counters["MiB"] = double(vault.bytes) / (1 << 20);
}

// Reference: the vault deciphered whole on every core into memory, opened there, and the root
// query stepped into plain strings.
void BM_DecipherAndRootQuery(benchmark::State& state) {
    BuiltVault& vault = bench::read_vault();
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        bench::Connection db = bench::open_deciphered(vault.vault);
        if (!db || bare_query(db.get(), bench::kRootQuery, nullptr) !=
                       std::size_t(bench::root_records(vault.records))) {
            state.SkipWithError("wrong row count");
            break;
        }
    }
}

// The decipher alone, part of what a switch pays too: a view's query reads the whole table,
// which SQLite's page cache does not hold, so every switch reads it through the VFS again.
void BM_DecipherToMemory(benchmark::State& state) {
    BuiltVault& vault = bench::read_vault();
    for (auto _ : state) {
        if (!vault.ready || !bench::open_deciphered(vault.vault)) {
            state.SkipWithError("decipher failed");
            break;
        }
    }
}

// The tree's item of the category Work.
QTreeWidgetItem* work_item(CategoryTree& tree) {
    QTreeWidgetItem* root = tree.root_item();
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == QLatin1String("Work")) return root->child(i);
    }
    return nullptr;
}

// One switch of the tree's selection to range(0) (0 the root, 1 the category Work), the list
// filled and laid out; the switch back is not timed.
void BM_SwitchCategory(benchmark::State& state) {
    BuiltVault& vault = bench::read_vault();
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    KorvaneApplication app(application());
    if (!start_window(state, app, vault)) return;
    CategoryTree& tree = app.main_window()->category_tree();
    QTreeWidgetItem* root = tree.root_item();
    QTreeWidgetItem* work = work_item(tree);
    if (!work) {
        state.SkipWithError("no category Work");
        app.shut_down();
        return;
    }
    QTreeWidgetItem* target = state.range(0) == 0 ? root : work;
    QTreeWidgetItem* away = state.range(0) == 0 ? work : root;
    const int rows = state.range(0) == 0 ? bench::root_records(vault.records)
                                         : bench::work_records(vault.records);
    for (auto _ : state) {
        state.PauseTiming();
        tree.setCurrentItem(away);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        tree.setCurrentItem(target);
        QCoreApplication::processEvents();
        if (app.main_window()->record_list().row_count() != rows) {
            state.SkipWithError("wrong row count");
            break;
        }
    }
    app.shut_down();
}

// Reference: the bare query of the same view on the deciphered image, opened once.
void BM_BareCategoryQuery(benchmark::State& state) {
    BuiltVault& vault = bench::read_vault();
    bench::Connection db = vault.ready ? bench::open_deciphered(vault.vault) : nullptr;
    if (!db) {
        state.SkipWithError("no vault");
        return;
    }
    const std::size_t expected =
        std::size_t(state.range(0) == 0 ? bench::root_records(vault.records)
                                        : bench::work_records(vault.records));
    for (auto _ : state) {
        const std::size_t rows = state.range(0) == 0
                                     ? bare_query(db.get(), bench::kRootQuery, nullptr)
                                     : bare_query(db.get(), kCategoryQuery, &kWork);
        if (rows != expected) {
            state.SkipWithError("wrong row count");
            break;
        }
    }
}

// The lock as the window does it on the idle timer or the screen lock, and the events it posts
// processed; range(0) 0 the 16 KiB vault, 1 the large one. The unlock after it, through the
// panel, is not timed.
void BM_WindowLock(benchmark::State& state) {
    BuiltVault& vault = vault_of(state.range(0));
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    KorvaneApplication app(application());
    if (!start_window(state, app, vault)) return;
    VaultLocker& locker = app.main_window()->vault_locker();
    auto* password = locker.panel().findChild<QLineEdit*>();
    for (auto _ : state) {
        locker.lock();
        QCoreApplication::processEvents();
        state.PauseTiming();
        const bool locked = locker.locked() && !app.session()->is_unlocked();
        if (password) password->setText(QString::fromStdString(bench::kTypedPassword));
        locker.unlock();
        QCoreApplication::processEvents();
        const bool unlocked = !locker.locked();
        state.ResumeTiming();
        if (!locked || !unlocked) {
            state.SkipWithError("lock or unlock failed");
            break;
        }
    }
    state.counters["MiB"] = double(vault.bytes) / (1 << 20);
    app.shut_down();
}

BENCHMARK(BM_DecipherToMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
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
BENCHMARK(BM_WindowLock)
    ->ArgName("vault")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

const std::string kSize = std::to_string(bench::record_count()) + " records";
const std::string kNote =
    bench::record_count() >= 1000000 ? "" : "the goal is stated for 1 000 000 records";

const bool kGoals = [] {
    bench::add_goal({"Start-up, " + kSize + ": at most 1.3 x decipher into memory + root query",
                     "BM_StartUp",
                     {"BM_DecipherAndRootQuery"},
                     1.3,
                     0,
                     kNote});
    bench::add_goal({"Switch to the root, " + kSize + ": at most 1.5 x the bare query",
                     "BM_SwitchCategory/category:0",
                     {"BM_BareCategoryQuery/category:0"},
                     1.5});
    bench::add_goal({"Switch to a category, " + kSize + ": at most 1.5 x the bare query",
                     "BM_SwitchCategory/category:1",
                     {"BM_BareCategoryQuery/category:1"},
                     1.5});
    for (int category : {0, 1}) {
        const std::string arg = "/category:" + std::to_string(category);
        bench::add_goal({std::string("Switch to ") + (category ? "a category" : "the root") +
                             " against decipher into memory + the bare query (no goal)",
                         "BM_SwitchCategory" + arg,
                         {"BM_DecipherToMemory", "BM_BareCategoryQuery" + arg}});
    }
    bench::add_goal({"Window lock, 16 KiB: at most 50 ms", "BM_WindowLock/vault:0", {}, 0, 50});
    bench::add_goal({"Window lock, " + kSize + ": at most 50 ms, the 16 KiB lock beside it",
                     "BM_WindowLock/vault:1",
                     {"BM_WindowLock/vault:0"},
                     0,
                     50,
                     bench::record_count() >= 1000000 ? "" : "the goal is stated for 256 MiB"});
    return true;
}();

}  // namespace

int main(int argc, char** argv) {
    korvane::bench::configure_sqlite();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window stores its look at exit; the user's own settings are left alone.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    return korvane::bench::run_benchmarks(argc, argv);
}

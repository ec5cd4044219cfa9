// SPDX-License-Identifier: GPL-3.0-or-later
// A full scan of the vault through EncipheredVfs (SQLite reads user.dat itself, deciphering as
// it goes), with and without the read-ahead, against the same scan of the whole file deciphered
// on every core into memory first, in the same run.
//
// The vault of bench_session.h: 100 000 records (26 MiB) by default, KORVANE_BENCH_BIG=1 for
// 1 000 000 (279 MiB) (bench/README.md).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "bench/bench_goals.h"
#include "bench/bench_session.h"
#include "vault/enciphered_vfs.h"
#include "vault/sqlite_db.h"

namespace {

using namespace korvane;
using bench::read_vault;

constexpr char kScan[] = "SELECT * FROM userpass";

// Every cell of every row touched; false when the query failed.
bool scan(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, kScan, -1, &stmt, nullptr) != SQLITE_OK) return false;
    std::int64_t bytes = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            benchmark::DoNotOptimize(sqlite3_column_blob(stmt, c));
            bytes += sqlite3_column_bytes(stmt, c);
        }
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(bytes);
    return rc == SQLITE_DONE;
}

// range(0): 1 with the read-ahead (the default settings), 0 with every read deciphered alone
// on the calling thread. The file is in the page cache after the first iteration.
void BM_VfsScan(benchmark::State& state) {
    bench::BuiltVault& vault = read_vault();
    auto vfs = EncipheredVfs::create(bench::kPassword);
    if (!vault.ready || !vfs) {
        state.SkipWithError("no vault or no VFS");
        return;
    }
    EncipheredVfs::ReadAhead settings;
    if (state.range(0) == 0) settings.first_window = 0;
    (*vfs)->set_read_ahead(settings);
    for (auto _ : state) {
        auto db = SqliteDb::open_enciphered(vault.vault, *vfs, SqliteDb::Mode::ReadOnly);
        if (!db || !scan(db->handle())) {
            state.SkipWithError("scan failed");
            break;
        }
    }
    const EncipheredVfs::ReadAheadCounts counts = (*vfs)->read_ahead_counts();
    const double iterations = double(std::max<std::int64_t>(1, state.iterations()));
    state.counters["windows"] = double(counts.windows) / iterations;
    state.counters["window_MiB"] = double(counts.window_bytes) / iterations / (1 << 20);
    state.SetBytesProcessed(state.iterations() * vault.bytes);
}

// Reference: the whole file deciphered on every core into memory, then the same scan of the
// plain image.
void BM_DecipherThenScanInMemory(benchmark::State& state) {
    bench::BuiltVault& vault = read_vault();
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        bench::Connection db = bench::open_deciphered(vault.vault);
        if (!db || !scan(db.get())) {
            state.SkipWithError("decipher or scan failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * vault.bytes);
}

const std::string kSize = std::to_string(bench::record_count()) + " records";
const bool kGoals =
    bench::add_goal({"Scan through the VFS with read-ahead, " + kSize +
                         ": at most 1.3 x decipher into memory + the scan",
                     "BM_VfsScan/read_ahead:1",
                     {"BM_DecipherThenScanInMemory"},
                     1.3}) &&
    bench::add_goal({"Scan through the VFS without read-ahead, " + kSize + " (no goal)",
                     "BM_VfsScan/read_ahead:0",
                     {"BM_DecipherThenScanInMemory"}});

}  // namespace

BENCHMARK(BM_DecipherThenScanInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VfsScan)->ArgName("read_ahead")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VfsScan)->ArgName("read_ahead")->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

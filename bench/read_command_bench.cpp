// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only commands in-process: `korvane-cli ls` and `export-csv` on a vault read through
// EncipheredVfs as the rows are written out, against the least a command that deciphers the
// vault itself could cost, measured in the same run: the whole file deciphered on every core
// into memory (VaultCodec::decipher_to_memory), then the same query stepped on that image.
//
// The vault of bench_session.h: 100 000 records (26 MiB) by default, KORVANE_BENCH_BIG=1 for
// 1 000 000 (279 MiB), the size of the goal (bench/README.md).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <cstdint>
#include <string>

#include "bench/bench_goals.h"
#include "bench/bench_session.h"
#include "cli/cli.h"
#include "cli/console.h"

namespace {

using namespace korvane;
using bench::read_vault;

// Answers the password and counts the output instead of keeping it.
class CountingConsole : public cli::Console {
public:
    void write_out(const QByteArray& bytes) override { written += bytes.size(); }
    void write_err(const QByteArray&) override {}
    bool out_is_terminal() const override { return false; }
    cli::LineRead read_input_line() override {
        return {cli::ReadStatus::Ok, QByteArray::fromStdString(bench::kTypedPassword)};
    }
    cli::LineRead read_secret(const QByteArray&) override {
        return {cli::ReadStatus::NoTerminal, {}};
    }
    int termination_signal() const override { return 0; }
    int termination_fd() const override { return -1; }

    qint64 written = 0;
};

void run_command(benchmark::State& state, const QStringList& command) {
    bench::BuiltVault& vault = read_vault();
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        CountingConsole console;
        const int code = cli::run(
            QStringList{"korvane-cli", "--vault-dir", vault.vault_dir, "--password-stdin"} +
                command,
            console);
        if (code != 0) state.SkipWithError("command failed");
        benchmark::DoNotOptimize(console.written);
    }
    state.SetBytesProcessed(state.iterations() * vault.bytes);
    state.counters["records"] = vault.records;
}

void BM_ListCommand(benchmark::State& state) { run_command(state, {"ls"}); }

void BM_ExportCsvCommand(benchmark::State& state) {
    static QTemporaryDir out;
    run_command(state, {"export-csv", out.filePath("out.csv"), "--force"});
}

// Every cell of every row touched; the row count, or -1 when the query failed.
std::int64_t step_all(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return -1;
    std::int64_t rows = 0, bytes = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            benchmark::DoNotOptimize(sqlite3_column_blob(stmt, c));
            bytes += sqlite3_column_bytes(stmt, c);
        }
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(bytes);
    return rc == SQLITE_DONE ? rows : -1;
}

// Reference: decipher into memory, then the query, from a file to the last row.
void decipher_then_query(benchmark::State& state, const char* sql, std::int64_t rows) {
    bench::BuiltVault& vault = read_vault();
    if (!vault.ready) {
        state.SkipWithError("no vault");
        return;
    }
    for (auto _ : state) {
        bench::Connection db = bench::open_deciphered(vault.vault);
        if (!db || step_all(db.get(), sql) != rows) {
            state.SkipWithError("decipher or query failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * vault.bytes);
}

void BM_DecipherThenRootQuery(benchmark::State& state) {
    decipher_then_query(state, bench::kRootQuery, bench::root_records(read_vault().records));
}

void BM_DecipherThenAllRecordsQuery(benchmark::State& state) {
    decipher_then_query(state, "select * from userpass", read_vault().records);
}

// The decipher alone, to tell the references' two parts apart.
void BM_DecipherToMemory(benchmark::State& state) {
    bench::BuiltVault& vault = read_vault();
    for (auto _ : state) {
        if (!bench::open_deciphered(vault.vault)) {
            state.SkipWithError("decipher failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * vault.bytes);
}

const std::string kSize = std::to_string(bench::record_count()) + " records";
const bool kGoals =
    bench::add_goal({"ls, " + kSize + ": at most 1.3 x decipher into memory + the root query",
                     "BM_ListCommand",
                     {"BM_DecipherThenRootQuery"},
                     1.3,
                     0,
                     bench::record_count() >= 1000000
                         ? ""
                         : "the goal is stated for 1 000 000 records (KORVANE_BENCH_BIG=1)"}) &&
    bench::add_goal({"export-csv, " + kSize + " (no goal; it also writes and syncs the file)",
                     "BM_ExportCsvCommand",
                     {"BM_DecipherThenAllRecordsQuery"}});

}  // namespace

BENCHMARK(BM_DecipherToMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecipherThenRootQuery)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecipherThenAllRecordsQuery)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportCsvCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of listing the record tree's root and decoding its texts for display.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "vault/text.h"
#include "vault/vault_statements.h"

namespace {

using namespace korvane;

// Root listing with range(0) records spread over range(1) categories plus uncategorised ones.
void BM_ListRootRecords(benchmark::State& state) {
    QTemporaryDir dir;
    auto db = SqliteDb::open(dir.filePath(QStringLiteral("bench.db")));
    if (!db || !statements::create_schema(*db)) {
        state.SkipWithError("cannot create vault");
        return;
    }
    const auto records = state.range(0);
    const auto categories = state.range(1);
    bool filled = true;
    {
        SqliteTransaction transaction(*db);
        for (std::int64_t c = 0; c < categories; ++c) {
            filled = filled && statements::insert_category(*db, "category" + std::to_string(c));
        }
        for (std::int64_t r = 0; r < records; ++r) {
            const std::string type =
                r % 4 == 0 ? kRootCategory : "category" + std::to_string(r % (categories + 1));
            filled = filled && statements::insert_record(
                                   *db, VaultRecord{"title", "name", "pass", "bz", type})
                                   .ok();
        }
        filled = filled && transaction.commit();
    }
    if (!filled) {
        state.SkipWithError("cannot fill vault");
        return;
    }
    for (auto _ : state) {
        auto rows = statements::list_root_records(*db);
        if (!rows) {
            state.SkipWithError("listing failed");
            return;
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ListRootRecords)->Args({1000, 0})->Args({1000, 50})->Args({10000, 200});

void BM_DecodeGbk(benchmark::State& state) {
    std::string bytes;
    for (int i = 0; i < 32; ++i) bytes += kRootCategory;
    for (auto _ : state) benchmark::DoNotOptimize(text::from_gbk(bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeGbk);

}  // namespace

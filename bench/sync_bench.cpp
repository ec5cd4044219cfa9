// SPDX-License-Identifier: GPL-3.0-or-later
// Synchronisation speed: merging 100 000 source records (half already present) into a vault of
// 100 000, against a plain insert of the 50 000 new rows in one transaction and against SQLite's
// own ATTACH + INSERT…EXCEPT; the import of 100 000 records into an empty vault against ATTACH +
// INSERT…SELECT; CSV export of 100 000 against the bare query plus a durable write of the same
// bytes.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "tools/csv_export.h"
#include "tools/database_import.h"
#include "tools/database_sync.h"
#include "vault/sqlite_db.h"
#include "vault/vault_statements.h"

namespace {

using namespace korvane;

constexpr int kVaultRecords = 100000;
constexpr int kSourceRecords = 100000;
constexpr int kShared = kSourceRecords / 2;

VaultRecord record(int i) {
    const std::string n = std::to_string(i);
    return {"title " + n, "user" + n + "@example.com", "pass-" + n + "-x9!",
            "remark line for record " + n, i % 2 ? "Work" : "Home"};
}

void fill(const QString& path, int first, int count) {
    SqliteDb db = SqliteDb::open(path).value();
    (void)statements::create_schema(db);
    (void)statements::insert_master_password(db, "benchmarkyyyyyyyy");
    SqliteTransaction transaction(db);
    for (int i = first; i < first + count; ++i) (void)statements::insert_record(db, record(i));
    (void)statements::insert_category(db, "Work");
    (void)statements::insert_category(db, "Home");
    (void)transaction.commit();
}

struct Fixture {
    QTemporaryDir dir;
    QString vault_master = dir.filePath("vault-master.db");
    QString source = dir.filePath("source.db");
    QString empty_master = dir.filePath("empty-master.db");
    QString work = dir.filePath("user.tmp");
    std::vector<VaultRecord> new_rows;

    Fixture() {
        fill(vault_master, 0, kVaultRecords);
        // Source rows kVaultRecords - kShared .. : the first half are in the vault already.
        fill(source, kVaultRecords - kShared, kSourceRecords);
        fill(empty_master, 0, 0);
        for (int i = kVaultRecords; i < kVaultRecords - kShared + kSourceRecords; ++i) {
            new_rows.push_back(record(i));
        }
    }

    SqliteDb fresh_vault(bool empty = false) {
        QFile::remove(work);
        QFile::copy(empty ? empty_master : vault_master, work);
        return SqliteDb::open(work).value();
    }

    // SQLite doing the whole exchange in one statement per table, in one transaction.
    bool attach_and_run(SqliteDb& db, const char* records_sql, const char* categories_sql) {
        const std::string sql = "ATTACH '" + source.toStdString() + "' AS src; BEGIN; " +
                                records_sql + "; " + categories_sql + "; COMMIT; DETACH src";
        return sqlite3_exec(db.handle(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_Sync100kInto100k(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        SqliteDb db = f.fresh_vault();
        state.ResumeTiming();
        auto counts = tools::sync_database(db, f.source);
        if (!counts || counts->records != kSourceRecords - kShared) {
            state.SkipWithError("sync failed or added the wrong number");
        }
    }
}

// Reference: the same 50 000 new rows inserted in one transaction, nothing read or compared.
void BM_PlainInsert50k(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        SqliteDb db = f.fresh_vault();
        state.ResumeTiming();
        SqliteTransaction transaction(db);
        for (const VaultRecord& row : f.new_rows) {
            if (!statements::insert_record(db, row)) state.SkipWithError("insert failed");
        }
        if (!transaction.commit()) state.SkipWithError("commit failed");
    }
}

// Reference for the sync: SQLite's own set difference, rows in its order, not the source's.
void BM_AttachInsertExcept100k(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        SqliteDb db = f.fresh_vault();
        state.ResumeTiming();
        if (!f.attach_and_run(db,
                              "INSERT INTO userpass SELECT bt,name,pass,bz,type FROM src.userpass "
                              "EXCEPT SELECT bt,name,pass,bz,type FROM main.userpass",
                              "INSERT INTO type SELECT leibie FROM src.type "
                              "EXCEPT SELECT leibie FROM main.type")) {
            state.SkipWithError("attach failed");
        }
    }
}

void BM_ImportDatabase100k(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        SqliteDb db = f.fresh_vault(true);
        state.ResumeTiming();
        auto counts = tools::import_database(db, f.source);
        if (!counts || counts->records != kSourceRecords) state.SkipWithError("import failed");
    }
}

// Reference for the import: ATTACH + INSERT…SELECT into the same empty vault.
void BM_AttachInsertSelect100k(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        SqliteDb db = f.fresh_vault(true);
        state.ResumeTiming();
        if (!f.attach_and_run(db,
                              "INSERT INTO userpass SELECT bt,name,pass,bz,type FROM src.userpass",
                              "INSERT INTO type SELECT leibie FROM src.type")) {
            state.SkipWithError("attach failed");
        }
    }
}

void BM_CsvExport100k(benchmark::State& state) {
    Fixture& f = fixture();
    SqliteDb db = f.fresh_vault();
    const QString target = f.dir.filePath("export.csv");
    for (auto _ : state) {
        auto csv = tools::build_csv(db);
        if (!csv || !tools::write_csv(target, *csv, SessionFiles(f.dir.path())))
            state.SkipWithError("export failed");
    }
}

// Reference for the export: every row read by hand through sqlite3 into plain strings, and the
// finished file's bytes (made once, outside the timing) written with a plain QFile and flushed
// to disk as the export does; no formatting, no temporary file, no rename.
void BM_BareQueryAndWrite100k(benchmark::State& state) {
    Fixture& f = fixture();
    SqliteDb db = f.fresh_vault();
    auto csv = tools::build_csv(db);
    if (!csv) {
        state.SkipWithError("no csv");
        return;
    }
    const QString target = f.dir.filePath("plain.csv");
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db.handle(), "select * from userpass", -1, &stmt, nullptr);
        std::vector<std::string> cells;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int i = 0; i < 5; ++i) {
                const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
                cells.emplace_back(data ? data : "", std::size_t(sqlite3_column_bytes(stmt, i)));
            }
        }
        sqlite3_finalize(stmt);
        if (cells.size() != std::size_t(5 * kVaultRecords)) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(cells.data());
        QFile out(target);
        const bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                             out.write(csv->data(), qint64(csv->size())) == qint64(csv->size()) &&
                             out.flush() && ::fsync(out.handle()) == 0;
        if (!written) state.SkipWithError("write failed");
    }
}

BENCHMARK(BM_Sync100kInto100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PlainInsert50k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_AttachInsertExcept100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ImportDatabase100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_AttachInsertSelect100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_BareQueryAndWrite100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CsvExport100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

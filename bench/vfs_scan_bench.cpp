// SPDX-License-Identifier: GPL-3.0-or-later
// A full scan of a sealed vault through EncipheredVfs (SQLite reads user.dat itself, deciphering
// as it goes), with and without the read-ahead, against what a read-only command does today in
// the same run: the whole file deciphered on every core into memory, then the same query on the
// plain image.
//
// 100 000 records (about 26 MiB) by default; KORVANE_BENCH_BIG=1 makes 1 000 000 records and a
// vault of about 280 MiB (bench/README.md).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vault/database_image.h"
#include "vault/enciphered_vfs.h"
#include "vault/sqlite_db.h"
#include "vault/vault_codec.h"

namespace {

using namespace korvane;

const std::string kKey = "benchmarkyyyyyyyy";
constexpr char kScan[] = "SELECT * FROM userpass";

int record_count() {
    const char* big = std::getenv("KORVANE_BENCH_BIG");
    return big && std::string(big) == "1" ? 1000000 : 100000;
}

// The vault of read_command_bench.cpp and cli_read_bench.sh: 200-byte remarks, a quarter of
// the titles in Chinese (GBK), three categories.
std::string fill_sql(int records) {
    return "PRAGMA page_size=4096;"
           "CREATE TABLE userad(pass TEXT);CREATE TABLE type(leibie TEXT);"
           "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
           "INSERT INTO userad VALUES('" +
           kKey +
           "');INSERT INTO type VALUES('Work');"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(records) +
           ") INSERT INTO userpass SELECT CASE WHEN i%4=0 THEN CAST(X'D6D0CEC4' AS TEXT)||i "
           "ELSE 'title '||i END, 'user'||i||'@example.com', 'pass-'||i||'-x9!', "
           "'remark line for record '||i||' '||substr(printf('%.200c','r'),1,200-length(i)), "
           "CASE i%3 WHEN 0 THEN 'Work' WHEN 1 THEN CAST(X'CED2B5C4C3DCC2EB' AS TEXT) "
           "ELSE 'Old' END FROM n;";
}

struct Fixture {
    QTemporaryDir dir;
    QString vault = dir.filePath("user.dat");
    qint64 vault_bytes = 0;

    Fixture() {
        const QString plain = dir.filePath("plain.db");
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(plain).constData(), &db);
        sqlite3_exec(db, fill_sql(record_count()).c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        (void)VaultCodec::encrypt_file(plain, vault, kKey);
        vault_bytes = QFile(vault).size();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

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
    Fixture& f = fixture();
    auto vfs = EncipheredVfs::create(kKey);
    if (!vfs) {
        state.SkipWithError("no VFS");
        return;
    }
    EncipheredVfs::ReadAhead settings;
    if (state.range(0) == 0) settings.first_window = 0;
    (*vfs)->set_read_ahead(settings);
    for (auto _ : state) {
        auto db = SqliteDb::open_enciphered(f.vault, *vfs, SqliteDb::Mode::ReadOnly);
        if (!db || !scan(db->handle())) {
            state.SkipWithError("scan failed");
            break;
        }
    }
    const EncipheredVfs::ReadAheadCounts counts = (*vfs)->read_ahead_counts();
    const double iterations = double(std::max<std::int64_t>(1, state.iterations()));
    state.counters["windows"] = double(counts.windows) / iterations;
    state.counters["window_MiB"] = double(counts.window_bytes) / iterations / (1 << 20);
    state.SetBytesProcessed(state.iterations() * f.vault_bytes);
}

// Reference: the whole file deciphered on every core into memory, then the same scan of the
// plain image.
void BM_DecipherThenScanInMemory(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        DatabaseImage image;
        const DecryptResult result = VaultCodec::decipher_to_memory(
            f.vault, kKey, [&image](qint64 length) { return image.allocate(length); });
        if (result.outcome != DecryptOutcome::Unlocked) {
            state.SkipWithError("decipher failed");
            break;
        }
        auto db = SqliteDb::open_image(std::move(image));
        if (!db || !scan(db->handle())) {
            state.SkipWithError("scan failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * f.vault_bytes);
}

}  // namespace

BENCHMARK(BM_DecipherThenScanInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VfsScan)->ArgName("read_ahead")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VfsScan)->ArgName("read_ahead")->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only commands in-process: `korvane-cli ls` and `export-csv` on a sealed vault (deciphered
// into memory, queried, written out as the rows are read) against their two parts measured
// alone in the same run: one decipher of the vault into memory, and the bare query of the same
// rows on the plain database. ls should cost little more than the two together.
//
// 100 000 records (about 26 MiB) by default; KORVANE_BENCH_BIG=1 makes 1 000 000 records and a
// vault of about 256 MiB (bench/README.md).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "cli/cli.h"
#include "cli/console.h"
#include "vault/database_image.h"
#include "vault/vault_codec.h"

namespace {

using namespace korvane;

const std::string kKey = "benchmarkyyyyyyyy";

int record_count() {
    const char* big = std::getenv("KORVANE_BENCH_BIG");
    return big && std::string(big) == "1" ? 1000000 : 100000;
}

// The same vault as bench/cli_read_bench.sh: three records in four Latin, one Chinese (GBK),
// 200-byte remarks, a third each in a category, in the root and in a category since deleted.
std::string fill_sql(int records) {
    return "PRAGMA page_size=4096;"
           "CREATE TABLE userad(pass TEXT);CREATE TABLE type(leibie TEXT);"
           "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
           "INSERT INTO userad VALUES('" +
           kKey +
           "');INSERT INTO type VALUES('Work');INSERT INTO type VALUES(CAST(X'BCD2CDA5' AS TEXT));"
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
    QString plain = dir.filePath("plain.db");
    QString vault_dir = dir.filePath("vault");
    QString vault = vault_dir + "/user.dat";
    QString csv = dir.filePath("out.csv");
    qint64 vault_bytes = 0;

    Fixture() {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(plain).constData(), &db);
        sqlite3_exec(db, fill_sql(record_count()).c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QDir().mkpath(vault_dir);
        QFile(vault_dir).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
        const QString copy = dir.filePath("copy.db");
        QFile::copy(plain, copy);
        (void)VaultCodec::encrypt_file(copy, vault, kKey);
        vault_bytes = QFile(vault).size();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Answers the password and counts the output instead of keeping it.
class CountingConsole : public cli::Console {
public:
    void write_out(const QByteArray& bytes) override { written += bytes.size(); }
    void write_err(const QByteArray&) override {}
    bool out_is_terminal() const override { return false; }
    cli::LineRead read_input_line() override { return {cli::ReadStatus::Ok, "benchmark"}; }
    cli::LineRead read_secret(const QByteArray&) override {
        return {cli::ReadStatus::NoTerminal, {}};
    }
    int termination_signal() const override { return 0; }
    int termination_fd() const override { return -1; }

    qint64 written = 0;
};

void run_command(benchmark::State& state, const QStringList& command) {
    Fixture& f = fixture();
    for (auto _ : state) {
        CountingConsole console;
        const int code = cli::run(
            QStringList{"korvane-cli", "--vault-dir", f.vault_dir, "--password-stdin"} + command,
            console);
        if (code != 0) state.SkipWithError("command failed");
        benchmark::DoNotOptimize(console.written);
    }
    state.SetBytesProcessed(state.iterations() * f.vault_bytes);
}

void BM_ListCommand(benchmark::State& state) { run_command(state, {"ls"}); }

void BM_ExportCsvCommand(benchmark::State& state) {
    run_command(state, {"export-csv", fixture().csv, "--force"});
}

// Reference: the decipher alone, into the memory the command's connection would read.
void BM_DecipherToMemory(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        DatabaseImage image;
        const DecryptResult result = VaultCodec::decipher_to_memory(
            f.vault, kKey, [&image](qint64 length) { return image.allocate(length); });
        if (result.outcome != DecryptOutcome::Unlocked) state.SkipWithError("decipher failed");
    }
    state.SetBytesProcessed(state.iterations() * f.vault_bytes);
}

// Reference: a query of the plain database (in the page cache), every cell touched.
void bare_query(benchmark::State& state, const char* sql) {
    Fixture& f = fixture();
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(f.plain).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        std::int64_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                benchmark::DoNotOptimize(sqlite3_column_blob(stmt, c));
                bytes += sqlite3_column_bytes(stmt, c);
            }
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_BareRootQuery(benchmark::State& state) {
    bare_query(state,
               "select OID,bt,name,bz from userpass where type not in (select ifnull(leibie,'') "
               "from type)");
}

void BM_BareAllRecordsQuery(benchmark::State& state) {
    bare_query(state, "select * from userpass");
}

}  // namespace

BENCHMARK(BM_ListCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecipherToMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRootQuery)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsvCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareAllRecordsQuery)->Unit(benchmark::kMillisecond);

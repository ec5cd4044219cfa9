// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks share: the password and the start-up's questions answered without
// windows; the vault the read and edit benchmarks work on, built with SQL and enciphered whole
// (the same bytes EncipheredVfs writes); and the reference a read of the vault is held to, the
// whole file deciphered on every core into memory and opened there by SQLite.
#pragma once

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vault/session_prompts.h"
#include "vault/text.h"
#include "vault/vault_codec.h"
#include "vault/vault_files.h"

namespace korvane::bench {

// As typed, "benchmark"; padded as the login pads it.
inline const std::string kTypedPassword = "benchmark";
inline const std::string kPassword = "benchmarkyyyyyyyy";

// The start-up's questions, answered without windows.
class FixedPrompts : public SessionPrompts {
public:
    void show_message(const QString&, const QString&) override {}
    std::optional<std::string> ask_new_password(NewPasswordReason) override { return kPassword; }
    std::optional<std::string> ask_master_password() override { return kPassword; }
};

inline std::string gbk(const QString& text) { return *text::to_gbk(text, QStringLiteral("bench")); }

// What the programs set before their first use of SQLite (vault/sqlite_db.cpp): no memory
// statistics, which take a global mutex on every allocation. It only takes effect before the
// library starts, so every benchmark's main calls it first; the references then run under the
// same library settings as the code they are held against.
inline void configure_sqlite() { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); }

// KORVANE_BENCH_RECORDS if set, 1 000 000 with KORVANE_BENCH_BIG=1, else 100 000.
inline int record_count() {
    if (const char* given = std::getenv("KORVANE_BENCH_RECORDS")) {
        if (const int n = std::atoi(given); n > 0) return n;
    }
    const char* big = std::getenv("KORVANE_BENCH_BIG");
    return big && std::string(big) == "1" ? 1000000 : 100000;
}

// The vault of bench/cli_read_bench.sh too: three records in four Latin, one Chinese (GBK),
// 200-byte remarks, so that a record takes about 280 bytes on disk (1 000 000 make 279 MiB).
// Categories Work and 家庭; a third of the records are in Work, a third in the root (stored as
// 我的密码) and a third under Old, a category since deleted, which the root view shows too.
inline std::string fill_sql(int records) {
    return "PRAGMA page_size=4096;"
           "CREATE TABLE userad(pass TEXT);CREATE TABLE type(leibie TEXT);"
           "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
           "INSERT INTO userad VALUES('" +
           kPassword +
           "');INSERT INTO type VALUES('Work');INSERT INTO type VALUES(CAST(X'BCD2CDA5' AS TEXT));"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(records) +
           ") INSERT INTO userpass SELECT CASE WHEN i%4=0 THEN CAST(X'D6D0CEC4' AS TEXT)||i "
           "ELSE 'title '||i END, 'user'||i||'@example.com', 'pass-'||i||'-x9!', "
           "'remark line for record '||i||' '||substr(printf('%.200c','r'),1,200-length(i)), "
           "CASE i%3 WHEN 0 THEN 'Work' WHEN 1 THEN CAST(X'CED2B5C4C3DCC2EB' AS TEXT) "
           "ELSE 'Old' END FROM n;";
}

// The rows of the views of a vault of fill_sql(records).
inline int work_records(int records) { return records / 3; }
inline int root_records(int records) { return records - records / 3; }

inline constexpr char kRootQuery[] =
    "select OID,bt,name,bz from userpass where type not in (select ifnull(leibie,'') from type)";

// A folder (owner only) holding user.dat of fill_sql(records) and nothing else: the plain
// database is built by SQLite, then enciphered by VaultCodec::encrypt_file, which removes it.
struct BuiltVault {
    QTemporaryDir dir;
    QString vault_dir = dir.filePath(QStringLiteral("vault"));
    QString vault = vault_dir + QLatin1Char('/') + QLatin1String(VaultFiles::kVaultName);
    int records;
    qint64 bytes = 0;
    bool ready = false;

    explicit BuiltVault(int count) : records(count) {
        QDir().mkpath(vault_dir);
        QFile(vault_dir).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
        const QString plain = dir.filePath(QStringLiteral("plain.db"));
        sqlite3* db = nullptr;
        int rc = sqlite3_open(QFile::encodeName(plain).constData(), &db);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, fill_sql(records).c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        if (rc != SQLITE_OK || !VaultCodec::encrypt_file(plain, vault, kPassword).ok()) return;
        bytes = QFile(vault).size();
        ready = true;
    }

    // Another folder holding a copy of user.dat, for a benchmark that changes it.
    std::unique_ptr<QTemporaryDir> copy() const {
        auto copy = std::make_unique<QTemporaryDir>();
        QFile(copy->path())
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
        if (!QFile::copy(vault, copy->filePath(QLatin1String(VaultFiles::kVaultName)))) {
            return nullptr;
        }
        return copy;
    }
};

// The vault of record_count() records, built once per program on first use.
inline BuiltVault& read_vault() {
    static BuiltVault vault(record_count());
    return vault;
}

// Ten records: the schema's and the three tables' pages, 16 KiB.
inline BuiltVault& small_vault() {
    static BuiltVault vault(10);
    return vault;
}

// range(0) (or range(1)) of a case that runs on both: 0 the 16 KiB vault, 1 the large one.
inline BuiltVault& vault_of(std::int64_t which) {
    return which == 0 ? small_vault() : read_vault();
}

struct CloseConnection {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;

// The reference: vault deciphered whole on every core into memory SQLite owns
// (VaultCodec::decipher_to_memory, the codec's default threads), opened there read-only.
// Null on any failure.
inline Connection open_deciphered(const QString& vault, std::string_view key = kPassword) {
    unsigned char* image = nullptr;
    qint64 size = 0;
    const DecryptResult result =
        VaultCodec::decipher_to_memory(vault, key, [&image, &size](qint64 length) {
            image = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(length)));
            size = length;
            return reinterpret_cast<char*>(image);
        });
    if (result.outcome != DecryptOutcome::Unlocked) {
        sqlite3_free(image);
        return nullptr;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        sqlite3_free(image);
        return nullptr;
    }
    Connection connection(db);
    // On failure SQLite frees the image itself.
    if (sqlite3_deserialize(db, "main", image, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) !=
        SQLITE_OK) {
        return nullptr;
    }
    return connection;
}

}  // namespace korvane::bench

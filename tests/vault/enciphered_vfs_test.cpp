// SPDX-License-Identifier: GPL-3.0-or-later
// EncipheredVfs: the bytes it keeps on disk against the whole-file codec and an independent
// MARS, unaligned I/O, the read-ahead, no plain byte on disk, hot journals, the key check and
// refused files.
#include "vault/enciphered_vfs.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/file_helpers.h"
#include "support/raw_sqlite.h"
#include "support/reference_cipher.h"
#include "vault/sqlite_db.h"
#include "vault/vault_codec.h"

namespace korvane {
namespace {

using test_support::RawRow;
using test_support::RawSqlite;
using test_support::read_file;
using test_support::reference_mars_ecb;
using test_support::write_file;

const std::string kKey = "abcyyyyyyyyyyyyyy";  // a padded three-letter password
const std::string kOtherKey = "abdyyyyyyyyyyyyyy";

std::shared_ptr<EncipheredVfs> make_vfs(const std::string& key = kKey) {
    auto vfs = EncipheredVfs::create(key);
    EXPECT_TRUE(vfs.ok()) << (vfs.ok() ? "" : vfs.error().toStdString());
    return vfs.ok() ? *vfs : nullptr;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A random vault history: the schema, records of every size (some far over a page, so that
// overflow pages are written), then edits and deletes. Values are arbitrary bytes.
std::vector<std::string> vault_statements(unsigned seed, int records, int page_size) {
    std::mt19937 gen(seed);
    auto bytes = [&](std::size_t max) {
        std::string s(std::uniform_int_distribution<std::size_t>(0, max)(gen), '\0');
        for (auto& c : s) c = char(gen());
        return "CAST(x'" + hex(s) + "' AS TEXT)";
    };
    std::vector<std::string> sql = {
        "PRAGMA page_size=" + std::to_string(page_size),
        "CREATE TABLE userad(pass TEXT)",
        "CREATE TABLE type(leibie TEXT)",
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT)",
        "INSERT INTO userad VALUES(" + bytes(40) + ")",
    };
    sql.push_back("BEGIN");
    for (int i = 0; i < records; ++i) {
        const std::size_t remark = i % 7 == 0 ? std::size_t(3 * page_size) : 60;
        sql.push_back("INSERT INTO userpass VALUES(" + bytes(30) + "," + bytes(30) + "," +
                      bytes(30) + "," + bytes(remark) + "," + bytes(10) + ")");
    }
    sql.push_back("COMMIT");
    for (int i = 0; i < records / 4; ++i) {
        const int row = std::uniform_int_distribution<int>(1, records)(gen);
        sql.push_back(i % 2 ? "DELETE FROM userpass WHERE rowid=" + std::to_string(row)
                            : "UPDATE userpass SET bz=" + bytes(200) +
                                  " WHERE rowid=" + std::to_string(row));
    }
    return sql;
}

constexpr char kAllRecords[] = "SELECT rowid,bt,name,pass,bz,type FROM userpass ORDER BY rowid";

std::vector<RawRow> rows_through(SqliteDb& db, const char* sql, int columns = 1) {
    std::vector<RawRow> rows;
    auto stmt = db.prepare(sql);
    EXPECT_TRUE(stmt.ok());
    if (!stmt) return rows;
    while (stmt->step()) {
        RawRow row;
        for (int c = 0; c < columns; ++c) {
            if (stmt->column_is_null(c)) {
                row.emplace_back();
            } else {
                row.emplace_back(stmt->column_text(c));
            }
        }
        rows.push_back(std::move(row));
    }
    EXPECT_FALSE(stmt->failed()) << stmt->error().toStdString();
    return rows;
}

std::vector<RawRow> rows_of_plain(const QString& path) {
    RawSqlite raw(path);
    return raw.rows(kAllRecords);
}

class EncipheredVfsTest : public ::testing::Test {
protected:
    QString file(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir_;
};

struct HistoryCase {
    unsigned seed;
    int records;
    int page_size;
};

void PrintTo(const HistoryCase& c, std::ostream* out) {
    *out << "seed " << c.seed << ", " << c.records << " records, pages of " << c.page_size;
}

class EncipheredVfsHistoryTest : public EncipheredVfsTest,
                                 public ::testing::WithParamInterface<HistoryCase> {};

// Both ways round against the codec: what the codec seals opens through the VFS, and what the
// VFS writes is, byte for byte, what the codec makes of the same history in a plain file.
TEST_P(EncipheredVfsHistoryTest, KeepsExactlyTheCodecsBytes) {
    const HistoryCase c = GetParam();
    const std::vector<std::string> history = vault_statements(c.seed, c.records, c.page_size);
    {
        RawSqlite raw(file("plain.db"));
        // The VFS's connections zero freed pages; the plain file must do the same to compare.
        raw.exec("PRAGMA secure_delete=ON");
        for (const std::string& sql : history) raw.exec(sql);
    }
    const std::vector<RawRow> expected = rows_of_plain(file("plain.db"));
    ASSERT_GT(expected.size(), 0u);
    QFile::copy(file("plain.db"), file("sealed.src"));
    ASSERT_TRUE(VaultCodec::encrypt_file(file("sealed.src"), file("sealed.dat"), kKey).ok());

    std::shared_ptr<EncipheredVfs> vfs = make_vfs();
    {
        auto db = SqliteDb::open_enciphered(file("sealed.dat"), vfs, SqliteDb::Mode::ReadWrite);
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        EXPECT_EQ(rows_through(*db, kAllRecords, 6), expected);
    }
    {
        auto db = SqliteDb::open_enciphered(file("user.dat"), vfs);
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        for (const std::string& sql : history) ASSERT_TRUE(db->exec(sql).ok()) << sql;
    }
    EXPECT_FALSE(QFileInfo::exists(file("user.dat-journal")));
    const std::string written = read_file(file("user.dat"));
    write_file(file("deciphered.db"), reference_mars_ecb(kKey, written, false));
    EXPECT_EQ(rows_of_plain(file("deciphered.db")), expected);
    EXPECT_EQ(written, read_file(file("sealed.dat")));
}

INSTANTIATE_TEST_SUITE_P(Histories, EncipheredVfsHistoryTest,
                         ::testing::Values(HistoryCase{1, 40, 512}, HistoryCase{2, 150, 1024},
                                           HistoryCase{3, 300, 4096}, HistoryCase{4, 60, 65536}));

struct RangeCase {
    const char* name;
    int kind;                           // SQLITE_OPEN_MAIN_JOURNAL or SQLITE_OPEN_MAIN_DB
    EncipheredVfs::ReadAhead settings;  // only the main database reads ahead
};

void PrintTo(const RangeCase& c, std::ostream* out) { *out << c.name; }

const RangeCase kRangeCases[] = {
    {"Journal", SQLITE_OPEN_MAIN_JOURNAL, {}},
    // Windows of a few blocks, read on every read they miss, so that most reads are served
    // from one and most writes and cuts land on one.
    {"DatabaseReadingAhead", SQLITE_OPEN_MAIN_DB, {512, 4096, 0, 2}},
};

class EncipheredVfsRangeTest : public EncipheredVfsTest,
                               public ::testing::WithParamInterface<RangeCase> {};

// The raw file methods against a plain copy kept in memory: random writes and reads at any
// offset and length (many cut a block at one end or both, some leave a gap past the end),
// reads past the end, and cuts to lengths inside a block. A read goes on from the last one, or
// reads again where the last write or cut was, as often as it goes anywhere.
TEST_P(EncipheredVfsRangeTest, ReadsAndWritesAnyRangeAsAPlainFileWould) {
    const RangeCase c = GetParam();
    std::shared_ptr<EncipheredVfs> vfs = make_vfs();
    vfs->set_read_ahead(c.settings);
    sqlite3_vfs* raw_vfs = sqlite3_vfs_find(vfs->name());
    ASSERT_NE(raw_vfs, nullptr);
    write_file(file("user.dat"), {});  // the database whose mode a journal takes
    const QString name = c.kind == SQLITE_OPEN_MAIN_DB ? "user.dat" : "user.dat-journal";
    const QByteArray path = file(name.toUtf8().constData()).toUtf8();
    std::mt19937 gen(7);
    std::string mirror;
    std::vector<char> storage(std::size_t(raw_vfs->szOsFile));
    auto* f = reinterpret_cast<sqlite3_file*>(storage.data());
    int out_flags = 0;
    ASSERT_EQ(raw_vfs->xOpen(raw_vfs, path.constData(), f,
                             c.kind | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &out_flags),
              SQLITE_OK);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(gen); };
    int last_read = 0;
    int last_read_end = 0;
    int last_change = 0;  // where the last write began, or a little before the last cut
    for (int step = 0; step < 1000; ++step) {
        const int op = pick(0, 9);
        if (op < 5) {
            const int offset = pick(0, int(mirror.size()) + 100);
            last_change = offset;
            std::string data(std::size_t(pick(1, 1100)), '\0');
            for (auto& ch : data) ch = char(gen());
            ASSERT_EQ(f->pMethods->xWrite(f, data.data(), int(data.size()), offset), SQLITE_OK);
            if (mirror.size() < offset + data.size()) mirror.resize(offset + data.size(), '\0');
            mirror.replace(std::size_t(offset), data.size(), data);
        } else if (op < 9) {
            const int where = pick(0, 3);
            const int offset = where == 0   ? last_read_end
                               : where == 1 ? last_change
                                            : pick(0, int(mirror.size()) + 40);
            const int amount = pick(1, 1100);
            last_read = offset;
            last_read_end = offset + amount;
            std::string got(std::size_t(amount), '\x55');
            const int rc = f->pMethods->xRead(f, got.data(), amount, offset);
            std::string want(std::size_t(amount), '\0');
            if (std::size_t(offset) < mirror.size()) {
                want.replace(0, std::min(mirror.size() - offset, want.size()),
                             mirror.substr(std::size_t(offset), want.size()));
            }
            ASSERT_EQ(got, want) << "read " << amount << " at " << offset;
            // Past the rounded-up length the read is short; inside it the padding is zeros.
            const std::size_t stored = (mirror.size() + 15) / 16 * 16;
            EXPECT_EQ(rc,
                      offset + std::size_t(amount) > stored ? SQLITE_IOERR_SHORT_READ : SQLITE_OK);
        } else {
            // Half the cuts fall inside the last read, whose bytes a window may still hold.
            const int size =
                pick(0, 1) ? pick(last_read, last_read_end) : pick(0, int(mirror.size()) + 50);
            last_change = std::max(0, size - 100);
            ASSERT_EQ(f->pMethods->xTruncate(f, size), SQLITE_OK);
            mirror.resize(std::size_t(size), '\0');
        }
        sqlite3_int64 size = 0;
        ASSERT_EQ(f->pMethods->xFileSize(f, &size), SQLITE_OK);
        ASSERT_EQ(size, sqlite3_int64((mirror.size() + 15) / 16 * 16));
    }
    ASSERT_EQ(f->pMethods->xClose(f), SQLITE_OK);
    // On disk: the plain bytes, zero-padded to whole blocks, each enciphered under the key.
    std::string padded = mirror;
    padded.resize((mirror.size() + 15) / 16 * 16, '\0');
    EXPECT_EQ(read_file(file(name.toUtf8().constData())), reference_mars_ecb(kKey, padded, true));
    const EncipheredVfs::ReadAheadCounts counts = vfs->read_ahead_counts();
    if (c.kind == SQLITE_OPEN_MAIN_DB) {
        EXPECT_GT(counts.windows, 0u);
        EXPECT_GT(counts.served, counts.windows) << "no read served from a window it missed";
    } else {
        EXPECT_EQ(counts.windows, 0u) << "the journal never reads ahead";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, EncipheredVfsRangeTest, ::testing::ValuesIn(kRangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A vault of records, some pages of which a transaction changes.
void fill_vault(SqliteDb& db, int records) {
    ASSERT_TRUE(db.exec("PRAGMA page_size=1024").ok());
    ASSERT_TRUE(
        db.exec("CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT)").ok());
    ASSERT_TRUE(db.exec("BEGIN").ok());
    for (int i = 0; i < records; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(db.exec("INSERT INTO userpass VALUES('title" + n + "','account" + n +
                            "','password" + n + "',printf('%.200c','r'),'c')")
                        .ok());
    }
    ASSERT_TRUE(db.exec("COMMIT").ok());
}

// Another connection rewrites every record between two scans of one connection: the second
// scan sees the new records, though the first left their pages read ahead.
TEST_F(EncipheredVfsTest, ReadAheadNeverServesPagesAnotherConnectionRewrote) {
    std::shared_ptr<EncipheredVfs> vfs = make_vfs();
    auto writer = SqliteDb::open_enciphered(file("user.dat"), vfs);
    ASSERT_TRUE(writer.ok()) << writer.error().toStdString();
    fill_vault(*writer, 301);
    auto reader = SqliteDb::open_enciphered(file("user.dat"), vfs);
    ASSERT_TRUE(reader.ok()) << reader.error().toStdString();
    const std::uint64_t windows = vfs->read_ahead_counts().windows;
    const std::vector<RawRow> before = rows_through(*reader, kAllRecords, 6);
    ASSERT_GT(vfs->read_ahead_counts().windows, windows) << "the scan read nothing ahead";

    ASSERT_TRUE(writer->exec("UPDATE userpass SET pass='changed'||rowid").ok());
    const std::vector<RawRow> after = rows_through(*writer, kAllRecords, 6);
    ASSERT_NE(after, before);
    EXPECT_EQ(rows_through(*reader, kAllRecords, 6), after);
}

// A crash in the middle of a transaction: the files as they are then, copied aside. Its pages
// spill into the file before the commit (a cache of a few pages), so the copy has changed pages
// and a hot journal of the old ones. Neither file holds the value typed in.
TEST_F(EncipheredVfsTest, HotJournalIsEncipheredAndRolledBackOnlyUnderTheRightKey) {
    const std::string marker = "MarkerTypedIntoARecord";
    std::shared_ptr<EncipheredVfs> vfs = make_vfs();
    std::vector<RawRow> before;
    std::string committed;
    {
        auto db = SqliteDb::open_enciphered(file("user.dat"), vfs);
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        fill_vault(*db, 301);
        before = rows_through(*db, kAllRecords, 6);
        committed = read_file(file("user.dat"));

        ASSERT_TRUE(db->exec("PRAGMA cache_size=2").ok());
        ASSERT_TRUE(db->exec("BEGIN").ok());
        ASSERT_TRUE(
            db->exec("UPDATE userpass SET pass='" + marker + "', bz=printf('%.300c','z')").ok());
        const std::string dat = read_file(file("user.dat"));
        const std::string journal = read_file(file("user.dat-journal"));
        ASSERT_NE(dat, committed) << "no page spilled: the copy would not need a rollback";
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(dat.find(marker), std::string::npos);
        EXPECT_EQ(journal.find(marker), std::string::npos);
        ASSERT_EQ(journal.size() % 16, 0u);
        // Each record ends in a checksum that is never 0; zeros there are the padding of a
        // journal that ends inside a block (records of 4 + 1024 + 4 bytes), which the playback
        // must not mind.
        const std::string plain_journal = reference_mars_ecb(kKey, journal, false);
        EXPECT_EQ(plain_journal.substr(plain_journal.size() - 4), std::string(4, '\0'))
            << "the journal ends on a block";
        ASSERT_TRUE(QFile::copy(file("user.dat"), file("crash.dat")));
        ASSERT_TRUE(QFile::copy(file("user.dat-journal"), file("crash.dat-journal")));
        ASSERT_TRUE(db->exec("ROLLBACK").ok());
    }
    const std::string crashed_dat = read_file(file("crash.dat"));
    const std::string crashed_journal = read_file(file("crash.dat-journal"));

    std::shared_ptr<EncipheredVfs> wrong = make_vfs(kOtherKey);
    EXPECT_EQ(wrong->check_key(file("crash.dat")).outcome, KeyCheck::WrongKey);
    auto refused = SqliteDb::open_enciphered(file("crash.dat"), wrong);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), QStringLiteral("密码错误"));
    EXPECT_EQ(read_file(file("crash.dat")), crashed_dat);
    EXPECT_EQ(read_file(file("crash.dat-journal")), crashed_journal);

    EXPECT_EQ(vfs->check_key(file("crash.dat")).outcome, KeyCheck::Matches);
    {
        auto db = SqliteDb::open_enciphered(file("crash.dat"), vfs, SqliteDb::Mode::ReadWrite);
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        EXPECT_EQ(rows_through(*db, kAllRecords, 6), before);
        EXPECT_EQ(rows_through(*db, "PRAGMA quick_check"), std::vector<RawRow>{{"ok"}});
    }
    EXPECT_FALSE(QFileInfo::exists(file("crash.dat-journal")));
    EXPECT_EQ(read_file(file("crash.dat")), committed);

    // The same journal with a header that gives the database two thousand million pages: a
    // plain file would grow a sparse hole of terabytes, this one would have to encipher it all.
    std::string hostile = reference_mars_ecb(kKey, crashed_journal, false);
    hostile.replace(16, 4, std::string("\x7f\xff\xff\xff", 4));
    write_file(file("hostile.dat"), crashed_dat);
    write_file(file("hostile.dat-journal"), reference_mars_ecb(kKey, hostile, true));
    auto grown = SqliteDb::open_enciphered(file("hostile.dat"), vfs, SqliteDb::Mode::ReadWrite);
    const bool read =
        grown && rows_through(*grown, "PRAGMA quick_check") == std::vector<RawRow>{{"ok"}};
    EXPECT_FALSE(read);
    EXPECT_LE(QFileInfo(file("hostile.dat")).size(), qint64(crashed_dat.size()) + (16 << 20));
}

// What the key check says of a file, and that every refusal leaves it as it was.
struct KeyCase {
    const char* name;
    std::string (*make)(const QString& dir);
    KeyCheck expected;
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.name; }

std::string sealed_database(const QString& dir, const char* setup) {
    const QString plain = dir + "/plain.db";
    {
        RawSqlite raw(plain);
        raw.exec(setup);
        raw.exec("CREATE TABLE userpass(bt TEXT);INSERT INTO userpass VALUES('x')");
    }
    const QString sealed = dir + "/sealed";
    EXPECT_TRUE(VaultCodec::encrypt_file(plain, sealed, kKey).ok());
    const std::string bytes = read_file(sealed);
    QFile::remove(sealed);
    return bytes;
}

const KeyCase kKeyCases[] = {
    {"RightKey", [](const QString& d) { return sealed_database(d, "PRAGMA page_size=512"); },
     KeyCheck::Matches},
    {"OtherKey",
     [](const QString& d) {
         return reference_mars_ecb(kOtherKey,
                                   reference_mars_ecb(kKey, sealed_database(d, ""), false), true);
     },
     KeyCheck::WrongKey},
    {"PlainDatabase",
     [](const QString& d) { return reference_mars_ecb(kKey, sealed_database(d, ""), false); },
     KeyCheck::WrongKey},
    {"ShorterThanABlock", [](const QString&) { return std::string("SQLite format"); },
     KeyCheck::WrongKey},
    {"WalHeader", [](const QString& d) { return sealed_database(d, "PRAGMA journal_mode=WAL"); },
     KeyCheck::WalHeader},
    {"Empty", [](const QString&) { return std::string(); }, KeyCheck::NoDatabase},
};

class EncipheredVfsKeyTest : public EncipheredVfsTest,
                             public ::testing::WithParamInterface<KeyCase> {};

TEST_P(EncipheredVfsKeyTest, ChecksTheKeyBeforeSqliteSeesTheFile) {
    const KeyCase c = GetParam();
    const std::string bytes = c.make(dir_.path());
    write_file(file("user.dat"), bytes);
    // A journal beside it that SQLite would look at, and remove, if it opened the file.
    std::string journal(2048, '\0');
    std::mt19937 gen(5);
    for (auto& ch : journal) ch = char(gen() | 1);
    write_file(file("user.dat-journal"), journal);
    std::shared_ptr<EncipheredVfs> vfs = make_vfs();
    EXPECT_EQ(vfs->check_key(file("user.dat")).outcome, c.expected);
    auto db = SqliteDb::open_enciphered(file("user.dat"), vfs, SqliteDb::Mode::ReadWrite);
    const bool opens = c.expected == KeyCheck::Matches || c.expected == KeyCheck::NoDatabase;
    EXPECT_EQ(db.ok(), opens) << (db.ok() ? "" : db.error().toStdString());
    if (!opens) {
        EXPECT_EQ(read_file(file("user.dat")), bytes);
        EXPECT_EQ(read_file(file("user.dat-journal")), journal);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, EncipheredVfsKeyTest, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Nothing falls back to a plain file: no WAL, no temporary database on disk. The VFS is
// SQLite's only while an instance lives, and never the default.
TEST_F(EncipheredVfsTest, RefusesEveryOtherFileAndGoesWithItsInstance) {
    sqlite3_vfs* default_vfs = sqlite3_vfs_find(nullptr);
    std::string name;
    {
        std::shared_ptr<EncipheredVfs> vfs = make_vfs();
        name = vfs->name();
        auto db = SqliteDb::open_enciphered(file("user.dat"), vfs);
        vfs.reset();
        ASSERT_TRUE(db.ok()) << db.error().toStdString();
        EXPECT_EQ(sqlite3_vfs_find(nullptr), default_vfs);
        EXPECT_NE(sqlite3_vfs_find(name.c_str()), nullptr);
        fill_vault(*db, 20);

        EXPECT_EQ(rows_through(*db, "PRAGMA journal_mode=WAL"), std::vector<RawRow>{{"delete"}});
        ASSERT_TRUE(db->exec("PRAGMA locking_mode=EXCLUSIVE").ok());
        // With an exclusive lock SQLite needs no shared memory for WAL and takes the mode, but
        // the log cannot be opened, so nothing is written until the journal is back.
        (void)db->exec("PRAGMA journal_mode=WAL");
        EXPECT_FALSE(db->exec("UPDATE userpass SET bz='after'").ok());
        EXPECT_FALSE(QFileInfo::exists(file("user.dat-wal")));
        EXPECT_EQ(rows_through(*db, "PRAGMA journal_mode=DELETE"), std::vector<RawRow>{{"delete"}});
        EXPECT_TRUE(db->exec("UPDATE userpass SET bz='after'").ok());

        // Enough rows that the temporary database must spill to a file, which it cannot have.
        ASSERT_TRUE(db->exec("PRAGMA temp_store=FILE").ok());
        ASSERT_TRUE(db->exec("CREATE TEMP TABLE scratch(v)").ok());
        ASSERT_TRUE(db->exec("PRAGMA temp.cache_size=2").ok());
        EXPECT_FALSE(db->exec("INSERT INTO scratch SELECT printf('%.2000c','s') FROM userpass a, "
                              "userpass b")
                         .ok());
        EXPECT_EQ(rows_through(*db, "SELECT count(*) FROM userpass"), std::vector<RawRow>{{"20"}});
    }
    EXPECT_EQ(sqlite3_vfs_find(name.c_str()), nullptr);
}

}  // namespace
}  // namespace korvane

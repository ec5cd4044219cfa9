// SPDX-License-Identifier: GPL-3.0-or-later
// EncipheredVfs: a SQLite VFS that keeps a database and its rollback journal MARS-enciphered on
// disk, block by block, so that no plain page is ever written to a file.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "vault/result.h"

namespace korvane {

enum class KeyCheck {
    Matches,     // block 0 deciphers to the SQLite header
    NoDatabase,  // no file, or an empty one: nothing to check, SQLite starts a new database
    WrongKey,    // block 0 deciphers to anything else (or the file is shorter than a block)
    WalHeader,   // the right key, but the header asks for a write-ahead log (see below)
    FileError,   // the file cannot be read; message says why
};

struct KeyCheckResult {
    KeyCheck outcome;
    QString message;  // for FileError
};

// The file on disk is exactly what VaultCodec::encrypt_file writes of the plain file: its
// 16-byte blocks, each enciphered on its own under the key (ECB, no header, no padding). A read
// deciphers the blocks it covers, a write enciphers into a buffer of its own; a write that
// starts or ends inside a block reads that block first, so any offset and length work. The
// rollback journal is enciphered the same way. Its records (4 + page + 4 bytes) do not end on a
// block, so its length on disk is rounded up to whole blocks, the padding deciphering to zeros;
// SQLite's playback is not affected: it takes the record count from the journal header, and
// where it computes a count from the size (a count of 0xffffffff, or 0 in a journal that is not
// hot) it divides by the record size, which the fewer than 16 padding bytes never reach. Beside
// the two, every file SQLite may want (temporary database or journal, statement journal, super
// journal, WAL) is refused with SQLITE_CANTOPEN, so nothing ever falls back to a plain file:
// connections use temp_store=MEMORY and a rollback journal. The I/O methods are version 1: no
// shared memory and no memory mapping, so a database whose header asks for WAL cannot be opened
// at all (check_key says so first); it is refused, never switched to a rollback journal behind
// the user's back.
//
// One instance per open vault: it holds the key schedule and is registered with SQLite under a
// name of its own (never as the default) until it is destroyed, which unregisters it. An open
// file keeps the key alive until SQLite closes it, so a connection whose close SQLite deferred
// still reads and writes under the right key; the key is wiped when the last of them goes.
// SqliteDb::open_enciphered opens a connection through an instance and keeps it alive.
//
// A read deciphers what SQLite asked for on the calling thread, several blocks side by side
// (MarsCipher::decrypt_blocks). In front of the main database's reads sits a read-ahead: once
// SQLite reads its pages in order (a scan), a window of the following bytes is read from the
// file in one read and deciphered on every core (BlockCipherPool) into a cache of the file's
// own, from which the next reads are served. The window grows while the reads keep going
// forward and starts small again when they jump, so random reads cost no more than they did;
// the cache never holds more than the largest window (and a page). It is wiped and dropped on
// every write and truncation of the file, whenever the lock falls to shared or none (another
// connection may write next), and at close, so no stale byte is ever served.
//
// Every method SQLite calls runs on the thread of the connection that called it; an instance may
// serve several connections, each on its own thread.
class EncipheredVfs {
public:
    // Fails unless key_material makes a MARS key (16 to 59 bytes) and SQLite takes the VFS.
    static Result<std::shared_ptr<EncipheredVfs>> create(std::string_view key_material);
    ~EncipheredVfs();
    EncipheredVfs(const EncipheredVfs&) = delete;
    EncipheredVfs& operator=(const EncipheredVfs&) = delete;

    // The name to pass to sqlite3_open_v2.
    const char* name() const;

    // Deciphers the first blocks of path and compares them with the SQLite header, before
    // SQLite sees the file: under a wrong key nothing is opened, so no hot journal beside it is
    // ever rolled back with the wrong key and neither file changes. Reads only.
    KeyCheckResult check_key(const QString& path) const;

    // How the read-ahead works, for the files opened from then on.
    struct ReadAhead {
        std::size_t first_window = std::size_t(256) << 10;  // 0: no read-ahead
        std::size_t max_window = std::size_t(4) << 20;
        // How many reads in a row, past the window, must go on from the one before for a
        // window to be read; 0 reads one on every read the window does not hold.
        unsigned after_reads = 1;
        unsigned workers = 0;  // BlockCipherPool's: 0 is one per core
    };
    void set_read_ahead(const ReadAhead& settings);

    // What the read-ahead did, summed over the files of this instance.
    struct ReadAheadCounts {
        std::uint64_t windows = 0;       // windows read and deciphered
        std::uint64_t window_bytes = 0;  // their bytes
        std::uint64_t served = 0;        // reads served from a window
    };
    ReadAheadCounts read_ahead_counts() const;

    struct Shared;

private:
    EncipheredVfs() = default;
    std::shared_ptr<Shared> shared_;
};

}  // namespace korvane

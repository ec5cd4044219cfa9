// SPDX-License-Identifier: GPL-3.0-or-later
// EncipheredVfs over the sqlite3 VFS interface, wrapping the default ("unix") VFS.
#include "vault/enciphered_vfs.h"

#include <sqlite3.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "vault/block_cipher_pool.h"
#include "vault/fault_injection.h"
#include "vault/file_io.h"
#include "vault/mars_cipher.h"
#include "vault/secure_wipe.h"

namespace korvane {

struct EncipheredVfs::Shared : std::enable_shared_from_this<EncipheredVfs::Shared> {
    sqlite3_vfs vfs{};
    sqlite3_vfs* base = nullptr;
    MarsCipher cipher;
    std::string name;
    bool registered = false;

    std::mutex settings_mutex;
    EncipheredVfs::ReadAhead read_ahead;  // under settings_mutex
    std::atomic<std::uint64_t> windows{0};
    std::atomic<std::uint64_t> window_bytes{0};
    std::atomic<std::uint64_t> served{0};

    Shared() = default;
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
    // The key schedule is the key: it goes with the last file that used it.
    ~Shared() { secure_wipe(&cipher, sizeof cipher); }
};

namespace {

using Shared = EncipheredVfs::Shared;
constexpr sqlite3_int64 kBlock = sqlite3_int64(MarsCipher::kBlockSize);
constexpr char kSqliteHeader[] = "SQLite format 3";  // and its terminating NUL: 16 bytes

sqlite3_int64 block_floor(sqlite3_int64 offset) { return offset - offset % kBlock; }
sqlite3_int64 block_ceil(sqlite3_int64 offset) { return block_floor(offset + kBlock - 1); }

// A buffer of ours for the bytes on their way between SQLite and the file. It holds plain
// bytes between calls, so it is wiped whenever it is given up, never merely reallocated.
class PlainBuffer {
public:
    PlainBuffer() = default;
    ~PlainBuffer() { release(); }
    PlainBuffer(const PlainBuffer&) = delete;
    PlainBuffer& operator=(const PlainBuffer&) = delete;

    std::uint8_t* get(std::size_t size) {
        if (size > capacity_) {
            release();
            data_ = new (std::nothrow) std::uint8_t[size];
            if (!data_) return nullptr;
            capacity_ = size;
        }
        return data_;
    }
    void release() {
        if (!data_) return;
        secure_wipe(data_, capacity_);
        delete[] data_;
        data_ = nullptr;
        capacity_ = 0;
    }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t capacity_ = 0;
};

// The main database's read-ahead: which reads go on in order, and the window of plain bytes
// read ahead of them. Used on one connection's thread at a time, as its file is; the pool's
// workers touch the window only inside fill(), which waits for them.
class ReadAheadCache {
public:
    explicit ReadAheadCache(const EncipheredVfs::ReadAhead& settings) : settings_(settings) {
        settings_.max_window = std::max(settings_.max_window, settings_.first_window);
        next_window_ = settings_.first_window;
    }

    // Copies [offset, offset + amount) out of the window when it holds all of it.
    bool serve(std::uint8_t* out, int amount, sqlite3_int64 offset) {
        const sqlite3_int64 end = offset + amount;
        if (filled_ == 0 || offset < start_ || end > start_ + sqlite3_int64(filled_)) {
            return false;
        }
        std::memcpy(out, window_.get(filled_) + (offset - start_), std::size_t(amount));
        last_end_ = end;
        return true;
    }

    // After a read the window did not hold: how big a window to read from offset, or 0 when
    // the reads do not go on in order (yet).
    std::size_t window_for(sqlite3_int64 offset, int amount) {
        // A page just behind the window (the b-tree keeps a few out of order) is read on its
        // own: a window from there would read most of the one held again.
        if (filled_ > 0 && offset < start_ &&
            start_ - offset <= sqlite3_int64(settings_.max_window)) {
            return 0;
        }
        // A scan skips the pages SQLite still holds (the b-tree's inner pages), so a read a
        // little past the last one, or past the window, still goes on from it.
        auto goes_on = [offset](sqlite3_int64 from) {
            return from >= 0 && offset >= from && offset - from <= kSkip;
        };
        const bool in_order = goes_on(last_end_) || goes_on(window_end_);
        last_end_ = offset + amount;
        if (!in_order) {
            // One read elsewhere is a scan stepping to the next inner page of the b-tree, which
            // then goes on where it was; a second in a row ends the scan.
            if (++jumps_ >= 2) {
                in_order_ = 0;
                next_window_ = settings_.first_window;
            }
            return settings_.after_reads == 0 ? next_window_ : 0;
        }
        jumps_ = 0;
        ++in_order_;
        return in_order_ >= settings_.after_reads ? next_window_ : 0;
    }

    // Reads [start, end) (whole blocks) from the file and deciphers it into the window. On
    // failure the window is empty and the caller reads on its own.
    bool fill(sqlite3_file* real, const MarsCipher& cipher, sqlite3_int64 start,
              sqlite3_int64 end) {
        const auto size = std::size_t(end - start);
        // Bytes of the last window past the new one would stay behind in plain.
        if (filled_ > size) secure_wipe(window_.get(filled_) + size, filled_ - size);
        filled_ = 0;
        std::uint8_t* bytes = window_.get(size);
        if (!bytes) return false;
        if (real->pMethods->xRead(real, bytes, int(size), start) != SQLITE_OK) {
            secure_wipe(bytes, size);
            return false;
        }
        if (!pool_) pool_ = std::make_unique<BlockCipherPool>(settings_.workers);
        if (!pool_->run(bytes, size, cipher, CipherDirection::Decrypt)) {
            secure_wipe(bytes, size);
            return false;
        }
        start_ = start;
        filled_ = size;
        window_end_ = end;
        next_window_ = std::min(next_window_ * 2, settings_.max_window);
        return true;
    }

    void drop() {
        if (filled_ == 0) return;
        secure_wipe(window_.get(filled_), filled_);
        filled_ = 0;
    }

private:
    static constexpr sqlite3_int64 kSkip = 64 * 1024;

    EncipheredVfs::ReadAhead settings_;
    std::unique_ptr<BlockCipherPool> pool_;  // started by the first window
    PlainBuffer window_;
    sqlite3_int64 start_ = 0;
    std::size_t filled_ = 0;         // plain bytes in the window from start_; 0: none
    sqlite3_int64 window_end_ = -1;  // where the last window ended, even once dropped
    sqlite3_int64 last_end_ = -1;
    unsigned in_order_ = 0;
    unsigned jumps_ = 0;  // reads in a row that did not go on from the one before
    std::size_t next_window_ = 0;
};

// What SQLite allocates for each open file (szOsFile): ours first, as SQLite hands the pointer
// back, then the wrapped VFS's own file, aligned after it.
struct EncipheredFile {
    sqlite3_file base;  // pMethods, as every sqlite3_file begins
    sqlite3_file* real;
    std::shared_ptr<Shared> owner;
    PlainBuffer buffer;
    std::unique_ptr<ReadAheadCache> read_ahead;  // the main database's, when switched on
};

void drop_read_ahead(sqlite3_file* file);

constexpr std::size_t kRealOffset = (sizeof(EncipheredFile) + alignof(std::max_align_t) - 1) /
                                    alignof(std::max_align_t) * alignof(std::max_align_t);

EncipheredFile* as_file(sqlite3_file* file) {
    return std::launder(reinterpret_cast<EncipheredFile*>(file));
}
sqlite3_file* real_of(sqlite3_file* file) { return as_file(file)->real; }
const MarsCipher& cipher_of(sqlite3_file* file) { return as_file(file)->owner->cipher; }

// The length on disk in whole blocks: a tail shorter than a block (a damaged or hostile file;
// this VFS never writes one) cannot be deciphered and counts as absent.
int whole_length(sqlite3_file* file, sqlite3_int64* length) {
    sqlite3_file* real = real_of(file);
    const int rc = real->pMethods->xFileSize(real, length);
    if (rc == SQLITE_OK) *length = block_floor(*length);
    return rc;
}

// Reads the blocks that cover [offset, offset + amount) and deciphers them. Blocks past the end
// of the file read as plain zeros, and then, as SQLite requires of a short read, the answer is
// SQLITE_IOERR_SHORT_READ with the rest of out zeroed.
int read_plain(sqlite3_file* file, std::uint8_t* out, int amount, sqlite3_int64 offset) {
    EncipheredFile* f = as_file(file);
    sqlite3_file* real = f->real;
    const sqlite3_int64 first = block_floor(offset);
    const sqlite3_int64 end = block_ceil(offset + amount);
    const auto span = std::size_t(end - first);
    // SQLite's own buffer is ours to fill, so whole blocks are read and deciphered in place.
    const bool aligned = first == offset && end == offset + amount;
    std::uint8_t* blocks = aligned ? out : f->buffer.get(span);
    if (!blocks) return SQLITE_IOERR_NOMEM;

    std::size_t whole = span;
    const int rc = real->pMethods->xRead(real, blocks, int(span), first);
    if (rc == SQLITE_IOERR_SHORT_READ) {
        sqlite3_int64 length = 0;
        if (whole_length(file, &length) != SQLITE_OK) return SQLITE_IOERR_READ;
        whole = std::size_t(std::clamp<sqlite3_int64>(length - first, 0, sqlite3_int64(span)));
        std::memset(blocks + whole, 0, span - whole);
    } else if (rc != SQLITE_OK) {
        return rc;
    }
    f->owner->cipher.decrypt_blocks(blocks, blocks, whole / MarsCipher::kBlockSize);
    if (!aligned) std::memcpy(out, blocks + (offset - first), std::size_t(amount));
    return first + sqlite3_int64(whole) < offset + amount ? SQLITE_IOERR_SHORT_READ : SQLITE_OK;
}

// One block as plain bytes, zeros where the file has none yet.
int read_block(sqlite3_file* file, std::uint8_t* out, sqlite3_int64 offset) {
    const int rc = read_plain(file, out, int(kBlock), offset);
    return rc == SQLITE_IOERR_SHORT_READ ? SQLITE_OK : rc;
}

// The most fill_gap writes at once. SQLite's own writes leave at most a few pages between the
// end of the file and a page it spills from a full cache (2 MB by default); only a hostile
// journal asks for more, when its header gives the database a size of many terabytes, which a
// plain file would take as a sparse hole but this one would have to encipher block by block.
constexpr sqlite3_int64 kMaxGap = sqlite3_int64(16) << 20;

// Writes enciphered zero blocks over [from, to): a write past the end of the file would
// otherwise leave a hole of plain zeros, which no key deciphers to zeros.
int fill_gap(sqlite3_file* file, sqlite3_int64 from, sqlite3_int64 to) {
    if (to - from > kMaxGap) return SQLITE_IOERR_WRITE;
    constexpr std::size_t kChunk = 64 * 1024;
    std::uint8_t* zeros = nullptr;
    sqlite3_file* real = real_of(file);
    PlainBuffer chunk;
    while (from < to) {
        const auto size = std::size_t(std::min<sqlite3_int64>(to - from, kChunk));
        if (!zeros) {
            zeros = chunk.get(kChunk);
            if (!zeros) return SQLITE_IOERR_NOMEM;
        }
        std::memset(zeros, 0, size);
        cipher_of(file).encrypt_blocks(zeros, zeros, size / MarsCipher::kBlockSize);
        const int rc = real->pMethods->xWrite(real, zeros, int(size), from);
        if (rc != SQLITE_OK) return rc;
        from += sqlite3_int64(size);
    }
    return SQLITE_OK;
}

int x_close(sqlite3_file* file) {
    EncipheredFile* f = as_file(file);
    sqlite3_file* real = f->real;
    const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
    // Last, as it may drop the last hold on the key.
    f->~EncipheredFile();
    file->pMethods = nullptr;
    return rc;
}

// The read-ahead's window, when one can hold the read: it ends inside the file.
bool read_ahead(sqlite3_file* file, std::uint8_t* out, int amount, sqlite3_int64 offset) {
    EncipheredFile* f = as_file(file);
    ReadAheadCache& cache = *f->read_ahead;
    Shared& owner = *f->owner;
    if (!cache.serve(out, amount, offset)) {
        const std::size_t window = cache.window_for(offset, amount);
        if (window == 0) return false;
        const sqlite3_int64 start = block_floor(offset);
        const sqlite3_int64 needed = block_ceil(offset + amount);
        sqlite3_int64 length = 0;
        if (whole_length(file, &length) != SQLITE_OK) return false;
        const sqlite3_int64 end = std::min(length, std::max(needed, start + sqlite3_int64(window)));
        if (end < needed || !cache.fill(f->real, owner.cipher, start, end)) return false;
        owner.windows.fetch_add(1, std::memory_order_relaxed);
        owner.window_bytes.fetch_add(std::uint64_t(end - start), std::memory_order_relaxed);
        if (!cache.serve(out, amount, offset)) return false;
    }
    owner.served.fetch_add(1, std::memory_order_relaxed);
    return true;
}

int x_read(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
    if (amount <= 0 || offset < 0) return SQLITE_IOERR_READ;
    auto* bytes = static_cast<std::uint8_t*>(out);
    if (as_file(file)->read_ahead && read_ahead(file, bytes, amount, offset)) return SQLITE_OK;
    return read_plain(file, bytes, amount, offset);
}

void drop_read_ahead(sqlite3_file* file) {
    if (ReadAheadCache* cache = as_file(file)->read_ahead.get()) cache->drop();
}

int x_write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    if (amount <= 0 || offset < 0) return SQLITE_IOERR_WRITE;
    // Before anything: the cut blocks below are read through the file, never the window.
    drop_read_ahead(file);
    EncipheredFile* f = as_file(file);
    const sqlite3_int64 first = block_floor(offset);
    const sqlite3_int64 end = block_ceil(offset + amount);
    const auto span = std::size_t(end - first);

    sqlite3_int64 length = 0;
    if (f->real->pMethods->xFileSize(f->real, &length) != SQLITE_OK) return SQLITE_IOERR_FSTAT;
    std::uint8_t* blocks = f->buffer.get(span);
    if (!blocks) return SQLITE_IOERR_NOMEM;
    // The blocks cut by the write keep their other bytes. Whole-block reads go straight into
    // their place here and never use the buffer themselves.
    const bool cut_head = first != offset;
    const bool cut_tail = end != offset + amount && (!cut_head || span > MarsCipher::kBlockSize);
    if (cut_head && read_block(file, blocks, first) != SQLITE_OK) return SQLITE_IOERR_WRITE;
    if (cut_tail && read_block(file, blocks + span - kBlock, end - kBlock) != SQLITE_OK) {
        return SQLITE_IOERR_WRITE;
    }
    // Never in SQLite's buffer: it may be a page SQLite still reads from.
    std::memcpy(blocks + (offset - first), data, std::size_t(amount));
    f->owner->cipher.encrypt_blocks(blocks, blocks, span / MarsCipher::kBlockSize);

    if (const sqlite3_int64 gap = block_ceil(length); gap < first) {
        if (const int rc = fill_gap(file, gap, first); rc != SQLITE_OK) return rc;
    }
    if (fault::should_fail("vfs.write")) return SQLITE_IOERR_WRITE;
    return f->real->pMethods->xWrite(f->real, blocks, int(span), first);
}

int x_truncate(sqlite3_file* file, sqlite3_int64 size) {
    if (size < 0) return SQLITE_IOERR_TRUNCATE;
    drop_read_ahead(file);
    sqlite3_file* real = real_of(file);
    const sqlite3_int64 whole = block_ceil(size);
    sqlite3_int64 length = 0;
    if (real->pMethods->xFileSize(real, &length) != SQLITE_OK) return SQLITE_IOERR_FSTAT;
    int rc = SQLITE_OK;
    if (whole > length) {
        rc = fill_gap(file, block_ceil(length), whole);
    } else {
        rc = real->pMethods->xTruncate(real, whole);
    }
    if (rc != SQLITE_OK || whole == size) return rc;
    // A length inside a block (a journal cut to journal_size_limit): the bytes past it read as
    // zeros again, as they would from a file of exactly that length.
    std::uint8_t last[MarsCipher::kBlockSize];
    rc = read_block(file, last, whole - kBlock);
    if (rc == SQLITE_OK) {
        const auto keep = std::size_t(size - (whole - kBlock));
        std::memset(last + keep, 0, sizeof last - keep);
        cipher_of(file).encrypt_block(last, last);
        rc = real->pMethods->xWrite(real, last, int(kBlock), whole - kBlock);
    }
    secure_wipe(last, sizeof last);
    return rc == SQLITE_OK ? SQLITE_OK : SQLITE_IOERR_TRUNCATE;
}

int x_sync(sqlite3_file* file, int flags) {
    if (fault::should_fail("vfs.sync")) return SQLITE_IOERR_FSYNC;
    sqlite3_file* real = real_of(file);
    return real->pMethods->xSync(real, flags);
}

int x_file_size(sqlite3_file* file, sqlite3_int64* size) { return whole_length(file, size); }

// Below a reserved lock another connection may write the file, so what was read ahead under
// the lock held before cannot be trusted once it falls (nor when a shared lock is taken anew).
int x_lock(sqlite3_file* file, int level) {
    if (level <= SQLITE_LOCK_SHARED) drop_read_ahead(file);
    sqlite3_file* real = real_of(file);
    return real->pMethods->xLock(real, level);
}

int x_unlock(sqlite3_file* file, int level) {
    if (level <= SQLITE_LOCK_SHARED) drop_read_ahead(file);
    sqlite3_file* real = real_of(file);
    return real->pMethods->xUnlock(real, level);
}

int x_check_reserved_lock(sqlite3_file* file, int* reserved) {
    sqlite3_file* real = real_of(file);
    return real->pMethods->xCheckReservedLock(real, reserved);
}

int x_file_control(sqlite3_file* file, int op, void* arg) {
    switch (op) {
        // Growing the file ahead of its pages (chunk_size) would leave plain zeros that no
        // key deciphers to zeros; SQLite takes "not done" for an answer.
        case SQLITE_FCNTL_CHUNK_SIZE:
        case SQLITE_FCNTL_SIZE_HINT:
            return SQLITE_OK;
        // The wrapped file's memory map would hand out enciphered pages.
        case SQLITE_FCNTL_MMAP_SIZE:
            if (arg) *static_cast<sqlite3_int64*>(arg) = 0;
            return SQLITE_OK;
        default:
            break;
    }
    sqlite3_file* real = real_of(file);
    return real->pMethods->xFileControl(real, op, arg);
}

int x_sector_size(sqlite3_file* file) {
    sqlite3_file* real = real_of(file);
    return real->pMethods->xSectorSize(real);
}

int x_device_characteristics(sqlite3_file* file) {
    sqlite3_file* real = real_of(file);
    // A write here may span more bytes than SQLite asked (the blocks it cuts), so promises
    // about atomic or append-ordered writes of the wrapped file do not carry over. Rewriting
    // a neighbouring block with the bytes it already holds keeps power-safe overwrite true.
    constexpr int kKept = SQLITE_IOCAP_POWERSAFE_OVERWRITE | SQLITE_IOCAP_SEQUENTIAL |
                          SQLITE_IOCAP_UNDELETABLE_WHEN_OPEN | SQLITE_IOCAP_IMMUTABLE;
    return real->pMethods->xDeviceCharacteristics(real) & kKept;
}

const sqlite3_io_methods* io_methods() {
    static const sqlite3_io_methods methods = [] {
        sqlite3_io_methods m{};
        m.iVersion = 1;  // no xShmMap (so no WAL) and no xFetch (so no memory map)
        m.xClose = x_close;
        m.xRead = x_read;
        m.xWrite = x_write;
        m.xTruncate = x_truncate;
        m.xSync = x_sync;
        m.xFileSize = x_file_size;
        m.xLock = x_lock;
        m.xUnlock = x_unlock;
        m.xCheckReservedLock = x_check_reserved_lock;
        m.xFileControl = x_file_control;
        m.xSectorSize = x_sector_size;
        m.xDeviceCharacteristics = x_device_characteristics;
        return m;
    }();
    return &methods;
}

Shared* shared_of(sqlite3_vfs* vfs) { return static_cast<Shared*>(vfs->pAppData); }

int x_open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* out_flags) {
    file->pMethods = nullptr;
    constexpr int kKinds = SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_TEMP_DB | SQLITE_OPEN_TRANSIENT_DB |
                           SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_TEMP_JOURNAL |
                           SQLITE_OPEN_SUBJOURNAL | SQLITE_OPEN_SUPER_JOURNAL | SQLITE_OPEN_WAL;
    const int kind = flags & kKinds;
    // Only the two files this VFS enciphers; a nameless main database is a temporary one.
    if (!name || (kind != SQLITE_OPEN_MAIN_DB && kind != SQLITE_OPEN_MAIN_JOURNAL)) {
        return SQLITE_CANTOPEN;
    }
    Shared* shared = shared_of(vfs);
    sqlite3_file* real =
        reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kRealOffset);
    real->pMethods = nullptr;
    const int rc = shared->base->xOpen(shared->base, name, real, flags, out_flags);
    if (rc != SQLITE_OK) {
        if (real->pMethods) real->pMethods->xClose(real);
        return rc;
    }
    auto* f = new (file) EncipheredFile{{}, real, shared->shared_from_this(), {}, {}};
    f->base.pMethods = io_methods();
    if (kind == SQLITE_OPEN_MAIN_DB) {
        EncipheredVfs::ReadAhead settings;
        {
            std::lock_guard lock(shared->settings_mutex);
            settings = shared->read_ahead;
        }
        if (settings.first_window > 0) {
            f->read_ahead.reset(new (std::nothrow) ReadAheadCache(settings));
        }
    }
    return SQLITE_OK;
}

int x_delete(sqlite3_vfs* vfs, const char* name, int sync_dir) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xDelete(base, name, sync_dir);
}

int x_access(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xAccess(base, name, flags, result);
}

int x_full_pathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xFullPathname(base, name, size, out);
}

void* x_dl_open(sqlite3_vfs* vfs, const char* name) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xDlOpen(base, name);
}

void x_dl_error(sqlite3_vfs* vfs, int size, char* out) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    base->xDlError(base, size, out);
}

void (*x_dl_sym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xDlSym(base, handle, symbol);
}

void x_dl_close(sqlite3_vfs* vfs, void* handle) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    base->xDlClose(base, handle);
}

int x_randomness(sqlite3_vfs* vfs, int size, char* out) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xRandomness(base, size, out);
}

int x_sleep(sqlite3_vfs* vfs, int microseconds) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xSleep(base, microseconds);
}

int x_current_time(sqlite3_vfs* vfs, double* now) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xCurrentTime(base, now);
}

int x_get_last_error(sqlite3_vfs* vfs, int size, char* out) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    return base->xGetLastError ? base->xGetLastError(base, size, out) : 0;
}

int x_current_time_int64(sqlite3_vfs* vfs, sqlite3_int64* now) {
    sqlite3_vfs* base = shared_of(vfs)->base;
    if (base->iVersion >= 2 && base->xCurrentTimeInt64) return base->xCurrentTimeInt64(base, now);
    double days = 0;
    const int rc = base->xCurrentTime(base, &days);
    *now = sqlite3_int64(days * 86400000.0);
    return rc;
}

std::string unique_name(const void* instance) {
    static std::atomic<unsigned long long> counter{0};
    return "korvane-enciphered-" + std::to_string(++counter) + "-" +
           std::to_string(reinterpret_cast<std::uintptr_t>(instance));
}

}  // namespace

Result<std::shared_ptr<EncipheredVfs>> EncipheredVfs::create(std::string_view key_material) {
    // As SqliteDb does before its first open: the statistics can only be switched off before
    // the library starts, and finding the default VFS starts it. Refused, harmlessly, later.
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
    if (sqlite3_initialize() != SQLITE_OK) {
        return make_error(QStringLiteral("无法初始化数据库库"));
    }
    sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    if (!base) return make_error(QStringLiteral("找不到系统的数据库文件接口"));
    auto shared = std::make_shared<Shared>();
    if (!shared->cipher.set_key(key_material)) {
        return make_error(QStringLiteral("主密码的长度不能作为密钥使用。"));
    }
    shared->base = base;
    shared->name = unique_name(shared.get());
    sqlite3_vfs& vfs = shared->vfs;
    vfs.iVersion = 2;
    vfs.szOsFile = int(kRealOffset) + base->szOsFile;
    vfs.mxPathname = base->mxPathname;
    vfs.zName = shared->name.c_str();
    vfs.pAppData = shared.get();
    vfs.xOpen = x_open;
    vfs.xDelete = x_delete;
    vfs.xAccess = x_access;
    vfs.xFullPathname = x_full_pathname;
    vfs.xDlOpen = x_dl_open;
    vfs.xDlError = x_dl_error;
    vfs.xDlSym = x_dl_sym;
    vfs.xDlClose = x_dl_close;
    vfs.xRandomness = x_randomness;
    vfs.xSleep = x_sleep;
    vfs.xCurrentTime = x_current_time;
    vfs.xGetLastError = x_get_last_error;
    vfs.xCurrentTimeInt64 = x_current_time_int64;
    if (sqlite3_vfs_register(&vfs, 0) != SQLITE_OK) {
        return make_error(QStringLiteral("无法注册加密的数据库文件接口"));
    }
    shared->registered = true;
    std::shared_ptr<EncipheredVfs> instance(new EncipheredVfs);
    instance->shared_ = std::move(shared);
    return instance;
}

EncipheredVfs::~EncipheredVfs() {
    if (!shared_) return;
    // Gone from SQLite's list, so no new connection finds it; a file still open keeps the
    // structure (and the key) alive until SQLite closes it.
    if (shared_->registered) sqlite3_vfs_unregister(&shared_->vfs);
    shared_->registered = false;
}

const char* EncipheredVfs::name() const { return shared_->name.c_str(); }

void EncipheredVfs::set_read_ahead(const ReadAhead& settings) {
    std::lock_guard lock(shared_->settings_mutex);
    shared_->read_ahead = settings;
}

EncipheredVfs::ReadAheadCounts EncipheredVfs::read_ahead_counts() const {
    return {shared_->windows.load(std::memory_order_relaxed),
            shared_->window_bytes.load(std::memory_order_relaxed),
            shared_->served.load(std::memory_order_relaxed)};
}

KeyCheckResult EncipheredVfs::check_key(const QString& path) const {
    QFile file(path);
    if (!file.exists()) return {KeyCheck::NoDatabase, {}};
    // Unbuffered: QFile's own buffer would keep the plain header nobody wipes.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return {KeyCheck::FileError,
                QStringLiteral("打开文件“%1”失败：%2").arg(native_path(path), file.errorString())};
    }
    const qint64 size = file.size();
    if (size == 0) return {KeyCheck::NoDatabase, {}};
    if (size < kBlock) return {KeyCheck::WrongKey, {}};
    std::uint8_t head[2 * MarsCipher::kBlockSize] = {};
    const qint64 wanted = size >= 2 * kBlock ? 2 * kBlock : kBlock;
    if (!read_fully(file, reinterpret_cast<char*>(head), wanted)) {
        return {KeyCheck::FileError,
                QStringLiteral("读取文件“%1”失败：%2").arg(native_path(path), file.errorString())};
    }
    shared_->cipher.decrypt_blocks(head, head, std::size_t(wanted / kBlock));
    KeyCheck outcome = KeyCheck::WrongKey;
    if (std::memcmp(head, kSqliteHeader, sizeof kSqliteHeader) == 0) {
        // Bytes 18 and 19, the write and read versions: 2 is WAL.
        outcome = wanted > 19 && (head[18] == 2 || head[19] == 2) ? KeyCheck::WalHeader
                                                                  : KeyCheck::Matches;
    }
    secure_wipe(head, sizeof head);
    return {outcome, {}};
}

}  // namespace korvane

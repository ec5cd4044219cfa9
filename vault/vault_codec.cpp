// SPDX-License-Identifier: GPL-3.0-or-later
// VaultCodec: block-wise MARS encipherment of a whole database file, written atomically.
#include "vault/vault_codec.h"

#include <fcntl.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "vault/atomic_file_writer.h"
#include "vault/fault_injection.h"
#include "vault/file_io.h"
#include "vault/secure_wipe.h"
#include "vault/write_failure.h"

namespace korvane {
namespace {

constexpr qint64 kChunkSize = qint64(1) << 20;
// One SQLite page at the default size: the header and the schema's root.
constexpr qint64 kHeadCheckBytes = 4096;
constexpr char kSqliteMagic[] = "SQLite";
// Unbuffered, so no copy of the plain pages stays behind in QFile's own read buffer, which
// nothing wipes; the codec reads in large chunks anyway.
constexpr QIODevice::OpenMode kPlainRead = QIODevice::ReadOnly | QIODevice::Unbuffered;

QString open_error(const QString& path, const QString& reason) {
    return QStringLiteral("打开文件“%1”失败：%2").arg(native_path(path), reason);
}

QString read_error(const QString& path, const QString& reason) {
    return QStringLiteral("读取文件“%1”失败：%2").arg(native_path(path), reason);
}

qint64 whole_blocks(qint64 length) { return length - length % qint64(MarsCipher::kBlockSize); }

std::size_t chunk_buffer_size(qint64 length) {
    return std::size_t(std::min(kChunkSize, std::max<qint64>(length, 1)));
}

Status content_mismatch(const QString& vault_path) {
    return make_error(
        QStringLiteral("校验“%1”失败：写入的内容与数据库不一致").arg(native_path(vault_path)));
}

QString cipher_error(CipherDirection direction) {
    return direction == CipherDirection::Encrypt ? QStringLiteral("加密运算未能完成")
                                                 : QStringLiteral("解密运算未能完成");
}

// The cipher of one codec run: a short file stays on the calling thread, a longer one gets a
// pool whose threads start with the first chunk and serve every chunk after it.
class ChunkCipher {
public:
    ChunkCipher(const MarsCipher& cipher, CipherDirection direction, qint64 length,
                const CodecThreads& threads)
        : cipher_(cipher), direction_(direction) {
        pool_.emplace(length >= threads.parallel_from ? threads.workers : 1u);
    }

    // The buffer belongs to the workers until wait(); destroying this object waits too.
    void start(char* data, qint64 size) {
        pool_->start(reinterpret_cast<std::uint8_t*>(data), std::size_t(size), cipher_, direction_);
    }
    bool wait() { return pool_->wait(); }
    bool run(char* data, qint64 size) {
        start(data, size);
        return wait();
    }

private:
    const MarsCipher& cipher_;
    const CipherDirection direction_;
    std::optional<BlockCipherPool> pool_;
};

// Starts the disk on the chunk just written while the next one is ciphered, so the fsync of the
// commit finds little left to write and does not wait for the whole file at the end. Only a
// hint: durability still comes from that fsync, and a failure here shows there again.
void start_writeback(QIODevice& out, qint64 size) {
    auto* file = qobject_cast<QFileDevice*>(&out);
    if (file == nullptr || file->handle() < 0 || !file->flush()) return;
    (void)::sync_file_range(file->handle(), file->pos() - size, size, SYNC_FILE_RANGE_WRITE);
}

// Exact check that the enciphered file deciphers to the plain file's whole blocks.
Status deciphers_to_plain(const QString& vault_path, const QString& work_path,
                          const MarsCipher& cipher, qint64 length, const CodecThreads& threads) {
    QFile written(vault_path);
    QFile plain(work_path);
    if (!written.open(QIODevice::ReadOnly))
        return make_error(open_error(vault_path, file_error_text(written)));
    if (!plain.open(kPlainRead)) return make_error(open_error(work_path, file_error_text(plain)));
    if (written.size() != length) {
        return make_error(
            QStringLiteral("校验“%1”失败：文件长度不对").arg(native_path(vault_path)));
    }
    std::vector<char> a(chunk_buffer_size(length));
    std::vector<char> b(a.size());
    // Both hold plain pages once compared.
    struct Wipe {
        std::vector<char>& a;
        std::vector<char>& b;
        ~Wipe() {
            secure_wipe(a);
            secure_wipe(b);
        }
    } wipe{a, b};
    ChunkCipher decipher(cipher, CipherDirection::Decrypt, length, threads);
    for (qint64 offset = 0; offset < length; offset += qint64(a.size())) {
        const qint64 n = std::min<qint64>(qint64(a.size()), length - offset);
        if (!read_fully(written, a.data(), n))
            return make_error(read_error(vault_path, file_error_text(written)));
        if (!read_fully(plain, b.data(), n))
            return make_error(read_error(work_path, file_error_text(plain)));
        if (!decipher.run(a.data(), n)) return make_error(cipher_error(CipherDirection::Decrypt));
        if (std::memcmp(a.data(), b.data(), std::size_t(n)) != 0) {
            return content_mismatch(vault_path);
        }
    }
    return Status::success();
}

// Sets the key and tries it on the sealed file's first block. On Unlocked the file is at its
// start and length holds its whole blocks.
DecryptResult open_sealed(QFile& sealed, MarsCipher& cipher, std::string_view key_material,
                          qint64& length) {
    if (!cipher.set_key(key_material)) return {DecryptOutcome::WrongPassword, {}};
    const QString path = sealed.fileName();
    if (!sealed.open(QIODevice::ReadOnly)) {
        return {DecryptOutcome::FileError, open_error(path, file_error_text(sealed))};
    }
    length = whole_blocks(sealed.size());
    if (length < qint64(MarsCipher::kBlockSize)) return {DecryptOutcome::WrongPassword, {}};

    std::uint8_t first[MarsCipher::kBlockSize];
    if (!read_fully(sealed, reinterpret_cast<char*>(first), sizeof first)) {
        return {DecryptOutcome::FileError, read_error(path, file_error_text(sealed))};
    }
    cipher.decrypt_block(first, first);
    const bool is_database = std::memcmp(first, kSqliteMagic, 6) == 0;
    secure_wipe(first, sizeof first);
    if (!is_database) return {DecryptOutcome::WrongPassword, {}};
    if (!sealed.seek(0))
        return {DecryptOutcome::FileError, read_error(path, file_error_text(sealed))};
    return {DecryptOutcome::Unlocked, {}};
}

}  // namespace

Result<qint64> VaultCodec::transform(QIODevice& in, QIODevice& out, const MarsCipher& cipher,
                                     Direction direction, qint64 length,
                                     const CodecThreads& threads) {
    length = whole_blocks(length);
    const qint64 chunk = qint64(chunk_buffer_size(length));
    // Two buffers: the workers cipher one while this thread writes the chunk before it from the
    // other and reads the chunk after it into the same. Plain pages pass through both.
    std::vector<char> buffers[2] = {std::vector<char>(std::size_t(chunk)),
                                    std::vector<char>(length > chunk ? std::size_t(chunk) : 0)};
    struct Wipe {
        std::vector<char>* buffers;
        ~Wipe() {
            secure_wipe(buffers[0]);
            secure_wipe(buffers[1]);
        }
    } wipe{buffers};
    // Declared after the buffers, so it is gone, and its workers with it, before they are wiped.
    ChunkCipher chunk_cipher(cipher, direction, length, threads);
    auto read_chunk = [&](qint64 offset) {
        const qint64 n = std::min(chunk, length - offset);
        return read_fully(in, buffers[(offset / chunk) % 2].data(), n) &&
               !fault::should_fail("codec.read");
    };
    auto read_failed = [&] {
        return make_error(QStringLiteral("读取文件失败：%1").arg(file_error_text(in)));
    };

    if (length > 0 && !read_chunk(0)) return read_failed();
    if (length > 0) chunk_cipher.start(buffers[0].data(), std::min(chunk, length));
    for (qint64 done = 0; done < length;) {
        std::vector<char>& current = buffers[(done / chunk) % 2];
        const qint64 n = std::min(chunk, length - done);
        const qint64 next = done + n;
        const bool read_ahead = next >= length || read_chunk(next);
        const bool ciphered = chunk_cipher.wait();
        if (!read_ahead) return read_failed();
        if (!ciphered) return make_error(cipher_error(direction));
        if (next < length) {
            chunk_cipher.start(buffers[(next / chunk) % 2].data(), std::min(chunk, length - next));
        }
        errno = 0;
        if (out.write(current.data(), n) != n || fault::should_fail("codec.write")) {
            return make_error(QStringLiteral("写入文件失败：%1")
                                  .arg(write_failure_reason(errno, out.errorString())));
        }
        start_writeback(out, n);
        done = next;
    }
    return length;
}

Status VaultCodec::encrypt_file(const QString& work_path, const QString& vault_path,
                                std::string_view key_material, const CodecThreads& threads) {
    MarsCipher cipher;
    if (!cipher.set_key(key_material)) {
        return make_error(QStringLiteral("主密码的长度不能作为密钥使用，数据库未加密。"));
    }
    QFile plain(work_path);
    if (!plain.open(kPlainRead)) return make_error(open_error(work_path, file_error_text(plain)));
    const qint64 length = whole_blocks(plain.size());

    AtomicFileWriter writer(vault_path);
    if (Status opened = writer.open(); !opened) return opened;
    Result<qint64> written =
        transform(plain, writer.device(), cipher, Direction::Encrypt, length, threads);
    if (!written) return make_error(written.error());
    plain.close();
    if (Status committed = writer.commit(); !committed) return committed;
    if (fault::should_fail("codec.remove_source") || !QFile::remove(work_path)) {
        return make_error(QStringLiteral("数据库已加密保存，但删除明文工作文件“%1”失败。")
                              .arg(native_path(work_path)));
    }
    return Status::success();
}

bool VaultCodec::is_encryption_of(const QString& vault_path, const QString& work_path,
                                  std::string_view key_material, const CodecThreads& threads) {
    MarsCipher cipher;
    if (!cipher.set_key(key_material)) return false;
    const qint64 length = whole_blocks(QFile(work_path).size());
    return deciphers_to_plain(vault_path, work_path, cipher, length, threads).ok();
}

DecryptResult VaultCodec::decipher_to_memory(const QString& vault_path,
                                             std::string_view key_material,
                                             const std::function<char*(qint64 length)>& allocate,
                                             const CodecThreads& threads) {
    MarsCipher cipher;
    QFile sealed(vault_path);
    qint64 length = 0;
    if (DecryptResult checked = open_sealed(sealed, cipher, key_material, length);
        checked.outcome != DecryptOutcome::Unlocked) {
        return checked;
    }
    char* plain = allocate(length);
    if (plain == nullptr) {
        return {DecryptOutcome::FileError,
                read_error(vault_path, QStringLiteral("内存不足，无法容纳解密后的数据库"))};
    }
    // Straight into the caller's memory: no buffer of ours ever holds the plain pages. The next
    // chunk is read while the workers decipher this one.
    ChunkCipher decipher(cipher, CipherDirection::Decrypt, length, threads);
    auto read_chunk = [&](qint64 offset) {
        return read_fully(sealed, plain + offset, std::min(kChunkSize, length - offset)) &&
               !fault::should_fail("codec.read");
    };
    if (!read_chunk(0)) {
        return {DecryptOutcome::FileError, read_error(vault_path, file_error_text(sealed))};
    }
    for (qint64 offset = 0; offset < length; offset += kChunkSize) {
        decipher.start(plain + offset, std::min(kChunkSize, length - offset));
        const qint64 next = offset + kChunkSize;
        const bool read_ahead = next >= length || read_chunk(next);
        if (!decipher.wait()) {
            return {DecryptOutcome::FileError, cipher_error(CipherDirection::Decrypt)};
        }
        if (!read_ahead) {
            return {DecryptOutcome::FileError, read_error(vault_path, file_error_text(sealed))};
        }
    }
    return {DecryptOutcome::Unlocked, {}};
}

}  // namespace korvane

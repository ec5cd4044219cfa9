// VaultCodec: block-wise MARS encipherment of the working database, written atomically.
#include "vault/vault_codec.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

#include "vault/atomic_file_writer.h"
#include "vault/chunk_checksum.h"
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

// Writing and checking walk a file in the same chunks, so checksums line up chunk for chunk.
std::size_t chunk_buffer_size(qint64 length) {
    return std::size_t(std::min(kChunkSize, std::max<qint64>(length, 1)));
}

Status content_mismatch(const QString& vault_path) {
    return make_error(
        QStringLiteral("校验“%1”失败：写入的内容与数据库不一致").arg(native_path(vault_path)));
}

void transform_in_place(std::uint8_t* data, qint64 size, const MarsCipher& cipher,
                        VaultCodec::Direction direction) {
    const auto block = qint64(MarsCipher::kBlockSize);
    if (direction == VaultCodec::Direction::Encrypt) {
        for (qint64 offset = 0; offset < size; offset += block) {
            cipher.encrypt_block(data + offset, data + offset);
        }
    } else {
        for (qint64 offset = 0; offset < size; offset += block) {
            cipher.decrypt_block(data + offset, data + offset);
        }
    }
}

// Exact check that the enciphered file deciphers to the plain file's whole blocks.
Status deciphers_to_plain(const QString& vault_path, const QString& work_path,
                          const MarsCipher& cipher, qint64 length) {
    QFile written(vault_path);
    QFile plain(work_path);
    if (!written.open(QIODevice::ReadOnly))
        return make_error(open_error(vault_path, written.errorString()));
    if (!plain.open(kPlainRead)) return make_error(open_error(work_path, plain.errorString()));
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
    for (qint64 offset = 0; offset < length; offset += qint64(a.size())) {
        const qint64 n = std::min<qint64>(qint64(a.size()), length - offset);
        if (!read_fully(written, a.data(), n))
            return make_error(read_error(vault_path, written.errorString()));
        if (!read_fully(plain, b.data(), n))
            return make_error(read_error(work_path, plain.errorString()));
        transform_in_place(reinterpret_cast<std::uint8_t*>(a.data()), n, cipher,
                           VaultCodec::Direction::Decrypt);
        if (std::memcmp(a.data(), b.data(), std::size_t(n)) != 0) {
            return content_mismatch(vault_path);
        }
    }
    return Status::success();
}

// The head read back must decipher to the working file's head: proves the key and the cipher
// agree, which the checksums alone cannot.
Status check_head(const QString& vault_path, const QString& work_path, const MarsCipher& cipher,
                  const char* sealed_head, qint64 n) {
    QFile plain(work_path);
    if (!plain.open(kPlainRead)) {
        return make_error(open_error(work_path, plain.errorString()));
    }
    std::vector<char> expected(std::size_t(n), '\0');
    std::vector<char> opened(sealed_head, sealed_head + n);
    const bool read = read_fully(plain, expected.data(), n);
    transform_in_place(reinterpret_cast<std::uint8_t*>(opened.data()), n, cipher,
                       VaultCodec::Direction::Decrypt);
    const bool same = read && opened == expected;
    secure_wipe(expected);
    secure_wipe(opened);
    if (!read) return make_error(read_error(work_path, plain.errorString()));
    if (!same) return content_mismatch(vault_path);
    return Status::success();
}

// Checks the enciphered file just written without a second cipher pass over all of it: every
// chunk read back must carry the checksum of the ciphertext that was written, and the head must
// decipher to the working file's head.
Status verify_written(const QString& vault_path, const QString& work_path, const MarsCipher& cipher,
                      qint64 length, const std::vector<std::uint64_t>& chunk_sums) {
    if (fault::should_fail("codec.read_back")) {
        return make_error(open_error(vault_path, QStringLiteral("模拟的读取错误")));
    }
    QFile written(vault_path);
    if (!written.open(QIODevice::ReadOnly)) {
        return make_error(open_error(vault_path, written.errorString()));
    }
    if (written.size() != length) {
        return make_error(
            QStringLiteral("校验“%1”失败：文件长度不对").arg(native_path(vault_path)));
    }
    std::vector<char> buffer(chunk_buffer_size(length));
    std::size_t chunk = 0;
    for (qint64 offset = 0; offset < length; offset += qint64(buffer.size()), ++chunk) {
        const qint64 n = std::min<qint64>(qint64(buffer.size()), length - offset);
        if (!read_fully(written, buffer.data(), n)) {
            return make_error(read_error(vault_path, written.errorString()));
        }
        if (chunk >= chunk_sums.size() ||
            chunk_checksum(buffer.data(), std::size_t(n)) != chunk_sums[chunk] ||
            fault::should_fail("codec.verify")) {
            return content_mismatch(vault_path);
        }
        if (offset == 0) {
            Status head = check_head(vault_path, work_path, cipher, buffer.data(),
                                     std::min(n, kHeadCheckBytes));
            if (!head) return head;
        }
    }
    if (chunk != chunk_sums.size()) return content_mismatch(vault_path);
    return Status::success();
}

}  // namespace

Result<qint64> VaultCodec::transform(QIODevice& in, QIODevice& out, const MarsCipher& cipher,
                                     Direction direction, qint64 length,
                                     std::vector<std::uint64_t>* chunk_sums) {
    length = whole_blocks(length);
    std::vector<char> buffer(chunk_buffer_size(length));
    // Plain pages pass through it in either direction.
    struct Wipe {
        std::vector<char>& buffer;
        ~Wipe() { secure_wipe(buffer); }
    } wipe{buffer};
    qint64 done = 0;
    while (done < length) {
        const qint64 n = std::min<qint64>(qint64(buffer.size()), length - done);
        if (!read_fully(in, buffer.data(), n)) {
            return make_error(QStringLiteral("读取文件失败：%1").arg(in.errorString()));
        }
        transform_in_place(reinterpret_cast<std::uint8_t*>(buffer.data()), n, cipher, direction);
        if (chunk_sums) chunk_sums->push_back(chunk_checksum(buffer.data(), std::size_t(n)));
        errno = 0;
        if (out.write(buffer.data(), n) != n || fault::should_fail("codec.write")) {
            return make_error(QStringLiteral("写入文件失败：%1")
                                  .arg(write_failure_reason(errno, out.errorString())));
        }
        done += n;
    }
    return done;
}

Status VaultCodec::encrypt_file(const QString& work_path, const QString& vault_path,
                                std::string_view key_material) {
    MarsCipher cipher;
    if (!cipher.set_key(key_material)) {
        return make_error(QStringLiteral("主密码的长度不能作为密钥使用，数据库未加密。"));
    }
    QFile plain(work_path);
    if (!plain.open(kPlainRead)) return make_error(open_error(work_path, plain.errorString()));
    const qint64 length = whole_blocks(plain.size());

    AtomicFileWriter writer(vault_path);
    if (Status opened = writer.open(); !opened) return opened;
    std::vector<std::uint64_t> chunk_sums;
    Result<qint64> written =
        transform(plain, writer.device(), cipher, Direction::Encrypt, length, &chunk_sums);
    if (!written) return make_error(written.error());
    plain.close();
    if (Status committed = writer.commit(); !committed) return committed;

    if (Status verified = verify_written(vault_path, work_path, cipher, length, chunk_sums);
        !verified) {
        // Not a good copy: the plain working file stays the only one. Through a link, the bad
        // copy is the file it names.
        Result<QString> written_to = AtomicFileWriter::resolve_links(vault_path);
        QFile::remove(written_to ? *written_to : vault_path);
        return verified;
    }
    if (fault::should_fail("codec.remove_source") || !QFile::remove(work_path)) {
        return make_error(QStringLiteral("数据库已加密保存，但删除明文工作文件“%1”失败。")
                              .arg(native_path(work_path)));
    }
    return Status::success();
}

bool VaultCodec::is_encryption_of(const QString& vault_path, const QString& work_path,
                                  std::string_view key_material) {
    MarsCipher cipher;
    if (!cipher.set_key(key_material)) return false;
    const qint64 length = whole_blocks(QFile(work_path).size());
    return deciphers_to_plain(vault_path, work_path, cipher, length).ok();
}

DecryptResult VaultCodec::decrypt_file(const QString& vault_path, const QString& work_path,
                                       std::string_view key_material) {
    DecryptResult opened = decipher_file(vault_path, work_path, key_material);
    if (opened.outcome != DecryptOutcome::Unlocked) return opened;
    if (Status removed = remove_sealed(vault_path); !removed) {
        // Go back to the locked state rather than leave two copies behind.
        QFile::remove(work_path);
        return {DecryptOutcome::FileError, removed.error()};
    }
    return opened;
}

Status VaultCodec::remove_sealed(const QString& vault_path) {
    Result<QString> target = AtomicFileWriter::resolve_links(vault_path);
    if (fault::should_fail("codec.remove_source") || !target || !QFile::remove(*target)) {
        return make_error(
            QStringLiteral("无法删除“%1”，密码库未打开。").arg(native_path(vault_path)));
    }
    return Status::success();
}

DecryptResult VaultCodec::decipher_file(const QString& vault_path, const QString& work_path,
                                        std::string_view key_material) {
    MarsCipher cipher;
    if (!cipher.set_key(key_material)) return {DecryptOutcome::WrongPassword, {}};

    QFile sealed(vault_path);
    if (!sealed.open(QIODevice::ReadOnly)) {
        return {DecryptOutcome::FileError, open_error(vault_path, sealed.errorString())};
    }
    const qint64 length = whole_blocks(sealed.size());
    if (length < qint64(MarsCipher::kBlockSize)) return {DecryptOutcome::WrongPassword, {}};

    std::uint8_t first[MarsCipher::kBlockSize];
    if (!read_fully(sealed, reinterpret_cast<char*>(first), sizeof first)) {
        return {DecryptOutcome::FileError, read_error(vault_path, sealed.errorString())};
    }
    cipher.decrypt_block(first, first);
    const bool is_database = std::memcmp(first, kSqliteMagic, 6) == 0;
    secure_wipe(first, sizeof first);
    if (!is_database) return {DecryptOutcome::WrongPassword, {}};
    sealed.seek(0);

    AtomicFileWriter writer(work_path);
    if (Status opened = writer.open(); !opened) return {DecryptOutcome::FileError, opened.error()};
    Result<qint64> written = transform(sealed, writer.device(), cipher, Direction::Decrypt, length);
    if (!written) return {DecryptOutcome::FileError, written.error()};
    sealed.close();
    if (Status committed = writer.commit(); !committed) {
        return {DecryptOutcome::FileError, committed.error()};
    }
    return {DecryptOutcome::Unlocked, {}};
}

DecryptResult VaultCodec::decipher_to_memory(const QString& vault_path,
                                             std::string_view key_material,
                                             const std::function<char*(qint64 length)>& allocate) {
    MarsCipher cipher;
    if (!cipher.set_key(key_material)) return {DecryptOutcome::WrongPassword, {}};
    // Unbuffered: the chunks go from the kernel straight into the buffer.
    QFile sealed(vault_path);
    if (!sealed.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return {DecryptOutcome::FileError, open_error(vault_path, sealed.errorString())};
    }
    const qint64 length = whole_blocks(sealed.size());
    if (length < qint64(MarsCipher::kBlockSize)) return {DecryptOutcome::WrongPassword, {}};
    char* plain = allocate(length);
    if (!plain) {
        return {DecryptOutcome::FileError,
                QStringLiteral("内存不足，无法解密“%1”。").arg(native_path(vault_path))};
    }
    // Chunk by chunk, so each is deciphered while it is still in the cache.
    for (qint64 done = 0; done < length;) {
        const qint64 n = std::min(kChunkSize, length - done);
        if (!read_fully(sealed, plain + done, n)) {
            return {DecryptOutcome::FileError, read_error(vault_path, sealed.errorString())};
        }
        transform_in_place(reinterpret_cast<std::uint8_t*>(plain + done), n, cipher,
                           Direction::Decrypt);
        if (done == 0 && std::memcmp(plain, kSqliteMagic, 6) != 0) {
            return {DecryptOutcome::WrongPassword, {}};
        }
        done += n;
    }
    return {DecryptOutcome::Unlocked, {}};
}

}  // namespace korvane

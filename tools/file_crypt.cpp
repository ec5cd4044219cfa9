// SPDX-License-Identifier: GPL-3.0-or-later
// The file encryption tool's format, streamed block by block between two devices.
#include "tools/file_crypt.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>

#include "vault/atomic_file_writer.h"
#include "vault/file_io.h"
#include "vault/mars_cipher.h"
#include "vault/vault_codec.h"
#include "vault/vault_folder_check.h"
#include "vault/write_failure.h"

namespace korvane::tools {
namespace {

constexpr qint64 kBlock = qint64(MarsCipher::kBlockSize);
using Block = std::array<std::uint8_t, MarsCipher::kBlockSize>;

const QString kEncryptedSuffix = QStringLiteral(".enc");

Status write_all(QIODevice& out, const char* data, qint64 size) {
    if (out.write(data, size) != size) {
        return make_error(QStringLiteral("写入文件失败：%1").arg(file_error_text(out)));
    }
    return Status::success();
}

Result<MarsCipher> make_cipher(std::string_view password) {
    if (Status status = check_file_password(password); !status) return make_error(status.error());
    MarsCipher cipher;
    if (!cipher.set_key(password)) return make_error(QStringLiteral("密码不能作为密钥使用"));
    return cipher;
}

// Writes P, the whole blocks of the plain_size bytes from in, then the last block: the tail
// and P zero bytes (any fill value is allowed; zeros keep the output reproducible).
Status encrypt_stream(QIODevice& in, qint64 plain_size, QIODevice& out, const MarsCipher& cipher) {
    const qint64 tail = plain_size % kBlock;
    const char fill_count = char(kBlock - tail);
    if (Status status = write_all(out, &fill_count, 1); !status) return status;
    auto whole = VaultCodec::transform(in, out, cipher, VaultCodec::Direction::Encrypt, plain_size);
    if (!whole) return make_error(whole.error());
    Block last{};
    if (!read_fully(in, reinterpret_cast<char*>(last.data()), tail)) {
        return make_error(QStringLiteral("读取文件失败：%1").arg(file_error_text(in)));
    }
    cipher.encrypt_block(last.data(), last.data());
    return write_all(out, reinterpret_cast<const char*>(last.data()), kBlock);
}

Status check_sealed_size(qint64 sealed_size) {
    if (sealed_size < 1 + kBlock || (sealed_size - 1) % kBlock != 0) {
        return make_error(
            QStringLiteral("文件长度 %1 字节不是 1 加 16 的整数倍，不是本工具加密的文件")
                .arg(sealed_size));
    }
    return Status::success();
}

// Reads P, deciphers every block and writes all but the P fill bytes of the last one.
Status decrypt_stream(QIODevice& in, qint64 sealed_size, QIODevice& out, const MarsCipher& cipher) {
    if (Status status = check_sealed_size(sealed_size); !status) return status;
    char fill_byte = 0;
    if (!read_fully(in, &fill_byte, 1)) {
        return make_error(QStringLiteral("读取文件失败：%1").arg(file_error_text(in)));
    }
    const int fill_count = static_cast<unsigned char>(fill_byte);
    if (fill_count < 1 || fill_count > kBlock) {
        return make_error(
            QStringLiteral("首字节 %1 不在 1 到 16 之间，不是本工具加密的文件").arg(fill_count));
    }
    const qint64 leading = sealed_size - 1 - kBlock;
    auto whole = VaultCodec::transform(in, out, cipher, VaultCodec::Direction::Decrypt, leading);
    if (!whole) return make_error(whole.error());
    Block last{};
    if (!read_fully(in, reinterpret_cast<char*>(last.data()), kBlock)) {
        return make_error(QStringLiteral("读取文件失败：%1").arg(file_error_text(in)));
    }
    cipher.decrypt_block(last.data(), last.data());
    return write_all(out, reinterpret_cast<const char*>(last.data()), kBlock - fill_count);
}

using StreamStep = Status (*)(QIODevice&, qint64, QIODevice&, const MarsCipher&);

Status transform_file(const QString& source_path, const QString& target_path,
                      const MarsCipher& cipher, StreamStep step, const SessionFiles& session) {
    if (Status readable = check_readable_source(source_path); !readable) return readable;
    QFile in(source_path);
    if (source_path.isEmpty() || !in.open(QIODevice::ReadOnly)) {
        return make_error(QStringLiteral("打开文件“%1”失败：%2")
                              .arg(native_path(source_path), source_path.isEmpty()
                                                                 ? QStringLiteral("未选择文件")
                                                                 : file_error_text(in)));
    }
    if (target_path.isEmpty()) return make_error(QStringLiteral("请选择结果的保存位置"));
    if (Status allowed = session.check_output(target_path); !allowed) return allowed;
    const qint64 size = in.size();
    AtomicFileWriter writer(target_path);
    if (Status status = writer.open(); !status) return status;
    if (Status status = step(in, size, writer.device(), cipher); !status) {
        return make_error(QStringLiteral("“%1”：%2").arg(native_path(source_path), status.error()));
    }
    // A file that grew while it was read would otherwise lose its new end silently.
    if (!in.atEnd() || in.size() != size) {
        return make_error(
            QStringLiteral("“%1”在处理过程中被改动，没有写入结果").arg(native_path(source_path)));
    }
    in.close();  // the target may be the source itself
    return writer.commit();
}

bool same_file(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

template <typename Step>
Result<std::string> transform_bytes(std::string_view input, std::string_view password, Step step) {
    auto cipher = make_cipher(password);
    if (!cipher) return make_error(cipher.error());
    QByteArray in_bytes = QByteArray::fromRawData(input.data(), qsizetype(input.size()));
    QBuffer in(&in_bytes);
    in.open(QIODevice::ReadOnly);
    QByteArray out_bytes;
    QBuffer out(&out_bytes);
    out.open(QIODevice::WriteOnly);
    if (Status status = step(in, qint64(input.size()), out, *cipher); !status) {
        return make_error(status.error());
    }
    return std::string(out_bytes.constData(), std::size_t(out_bytes.size()));
}

}  // namespace

Status check_file_password(std::string_view password) {
    if (!MarsCipher::is_usable_key_length(password.size())) {
        return make_error(QStringLiteral("密码须为 %1 至 %2 个字节（一个汉字占两个字节），"
                                         "现在是 %3 个字节")
                              .arg(MarsCipher::kMinKeyBytes)
                              .arg(MarsCipher::kMaxKeyBytes)
                              .arg(password.size()));
    }
    return Status::success();
}

Status check_file_passwords(std::string_view password, std::string_view password_again) {
    if (password != password_again) return make_error(kPasswordsDiffer);
    return check_file_password(password);
}

std::int64_t enciphered_size(std::int64_t plain_size) {
    return 1 + kBlock * (plain_size / kBlock + 1);
}

Status encrypt_file(const QString& source_path, const QString& target_path,
                    std::string_view password, const SessionFiles& session) {
    auto cipher = make_cipher(password);
    if (!cipher) return make_error(cipher.error());
    return transform_file(source_path, target_path, *cipher, encrypt_stream, session);
}

Status decrypt_file(const QString& source_path, const QString& target_path,
                    std::string_view password, const SessionFiles& session) {
    auto cipher = make_cipher(password);
    if (!cipher) return make_error(cipher.error());
    if (same_file(source_path, target_path)) {
        return make_error(QStringLiteral("解密结果不能覆盖加密文件本身，请另选保存位置"));
    }
    return transform_file(source_path, target_path, *cipher, decrypt_stream, session);
}

Result<std::string> encrypt_bytes(std::string_view plain, std::string_view password) {
    return transform_bytes(plain, password, encrypt_stream);
}

Result<std::string> decrypt_bytes(std::string_view sealed, std::string_view password) {
    return transform_bytes(sealed, password, decrypt_stream);
}

QString encrypted_file_path(const QString& path) { return path + kEncryptedSuffix; }

QString decrypted_file_path(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    // A name that is only ".enc" would leave nothing, so it gets the other form.
    if (name.size() > kEncryptedSuffix.size() &&
        name.endsWith(kEncryptedSuffix, Qt::CaseInsensitive)) {
        return path.chopped(kEncryptedSuffix.size());
    }
    return path + QStringLiteral(".decrypted");
}

}  // namespace korvane::tools

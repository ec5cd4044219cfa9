// SPDX-License-Identifier: GPL-3.0-or-later
// Reading, deciphering and parsing the older vault files, and inserting their records.
#include "tools/legacy_import.h"

#include <QFile>
#include <algorithm>

#include "vault/byte_order.h"
#include "vault/file_io.h"
#include "vault/mars_cipher.h"
#include "vault/md5_digest.h"
#include "vault/secure_wipe.h"
#include "vault/vault_folder_check.h"
#include "vault/vault_statements.h"
#include "vault/write_failure.h"

namespace korvane::tools {
namespace {

using namespace legacy;

QString format_name(LegacyFormat format) {
    return format == LegacyFormat::Old ? QStringLiteral("旧版密码库文件")
                                       : QStringLiteral("新版密码库文件");
}

Error not_in_format(const QString& path, LegacyFormat format, const QString& reason) {
    return make_error(
        QStringLiteral("“%1”不是有效的%2：%3").arg(native_path(path), format_name(format), reason));
}

std::int32_t read_int32_le(const std::uint8_t* p) {
    return static_cast<std::int32_t>(load_le32(p));
}

// A field's text up to its NUL; false when the bytes hold no NUL.
bool take_text(std::string_view bytes, std::string& out) {
    const std::size_t end = bytes.find('\0');
    if (end == std::string_view::npos) return false;
    out.assign(bytes.substr(0, end));
    return true;
}

QString field_error(int record_index, const QString& field) {
    return QStringLiteral("第 %1 条记录的%2没有结束符").arg(record_index + 1).arg(field);
}

LegacyFormat other_format(LegacyFormat format) {
    return format == LegacyFormat::Old ? LegacyFormat::New : LegacyFormat::Old;
}

Error looks_like(const QString& path, LegacyFormat likely) {
    const QString text = likely == LegacyFormat::Old
                             ? QStringLiteral(
                                   "“%1”不是新格式的密码库文件，没有导入任何记录。"
                                   "这个文件看起来是旧格式的密码库文件，请选择旧格式导入。")
                             : QStringLiteral(
                                   "“%1”不是旧格式的密码库文件，没有导入任何记录。"
                                   "这个文件看起来是新格式的密码库文件，请选择新格式导入。");
    return make_error(text.arg(native_path(path)));
}

// What the size and the header's count allow, before any of the body is read; the reason is
// the one the user is given.
Status check_shape(LegacyFormat format, qint64 size, std::int32_t last_index) {
    const qint64 body_size = size - qint64(kHeaderSize);
    if (format == LegacyFormat::Old && size < qint64(kOldFileSize)) {
        return make_error(
            QStringLiteral("文件应有 %1 字节，实际只有 %2 字节").arg(kOldFileSize).arg(size));
    }
    if (format == LegacyFormat::New) {
        if (size > qint64(kMaxNewFileSize)) {
            return make_error(QStringLiteral("文件有 %1 字节，超过 %2 条记录最多能占的 %3 字节")
                                  .arg(size)
                                  .arg(kSlotCount)
                                  .arg(qint64(kMaxNewFileSize)));
        }
        if (body_size % qint64(MarsCipher::kBlockSize) != 0) {
            return make_error(
                QStringLiteral("文件头后的 %1 字节不是 16 字节的整数倍").arg(body_size));
        }
    }
    if (last_index > kMaxLastIndex) {
        return make_error(QStringLiteral("文件头记录数为 %1，超过上限 %2")
                              .arg(qint64(last_index) + 1)
                              .arg(kSlotCount));
    }
    if (last_index < kMinLastIndex) {
        return make_error(
            QStringLiteral("文件头记录数为 %1，不可能是负数").arg(qint64(last_index) + 1));
    }
    const int count = last_index < 0 ? 0 : last_index + 1;
    if (format == LegacyFormat::New && body_size < qint64(count) * qint64(kMinStreamRecordSize)) {
        return make_error(QStringLiteral("文件头记录数为 %1，但数据只有 %2 字节，装不下这么多记录")
                              .arg(count)
                              .arg(body_size));
    }
    return Status::success();
}

// The shape a writer of the format makes: an old file is exactly its 300 slots, a new one
// its stream of N + 1 records rounded up to whole blocks, no longer.
bool written_like(LegacyFormat format, qint64 size, std::int32_t last_index) {
    if (!check_shape(format, size, last_index)) return false;
    if (format == LegacyFormat::Old) return size == qint64(kOldFileSize);
    const qint64 count = last_index < 0 ? 0 : qint64(last_index) + 1;
    const qint64 longest = (count * qint64(kMaxStreamRecordSize) + 15) / 16 * 16;
    return size - qint64(kHeaderSize) <= longest;
}

// How well a deciphered body reads as a format: not at all, as a file some writer could have
// padded or cut, or exactly as that format's writer leaves it.
enum class Fit { None, Loose, Exact };

struct Parse {
    Result<std::vector<VaultRecord>> records;
    Fit fit = Fit::None;
};

Parse parse_as(LegacyFormat format, std::string_view body, int record_count, qint64 file_size) {
    if (format == LegacyFormat::Old) {
        Parse parsed{parse_old_slots(body.substr(0, kOldFileSize - kHeaderSize), record_count)};
        if (parsed.records) {
            parsed.fit = file_size == qint64(kOldFileSize) ? Fit::Exact : Fit::Loose;
        }
        return parsed;
    }
    std::size_t end = 0;
    Parse parsed{parse_new_stream(body, record_count, &end)};
    // A stream padded to whole blocks leaves less than one block after its last record; an
    // old file read as a stream leaves most of its slots behind.
    if (parsed.records) {
        parsed.fit = body.size() - end < MarsCipher::kBlockSize ? Fit::Exact : Fit::Loose;
    }
    return parsed;
}

}  // namespace

Result<LegacyVaultFile> LegacyVaultFile::open(const QString& path, LegacyFormat format) {
    if (Status readable = check_readable_source(path); !readable)
        return make_error(readable.error());
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return make_error(QStringLiteral("数据库不存在（无法打开“%1”：%2）")
                              .arg(native_path(path), path.isEmpty() ? QStringLiteral("未选择文件")
                                                                     : file_error_text(file)));
    }
    const qint64 size = file.size();
    // Before anything is read: the body is read whole into memory later. No old file is this
    // long either, so there is no other format to point to.
    if (format == LegacyFormat::New && size > qint64(kMaxNewFileSize)) {
        return not_in_format(path, format,
                             QStringLiteral("文件有 %1 字节，超过 %2 条记录最多能占的 %3 字节")
                                 .arg(size)
                                 .arg(kSlotCount)
                                 .arg(qint64(kMaxNewFileSize)));
    }
    if (size < qint64(kHeaderSize)) {
        return not_in_format(
            path, format,
            QStringLiteral("文件只有 %1 字节，比 %2 字节的文件头还短").arg(size).arg(kHeaderSize));
    }
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!read_fully(file, reinterpret_cast<char*>(header.data()), qint64(header.size()))) {
        return make_error(
            QStringLiteral("读取“%1”失败：%2").arg(native_path(path), file_error_text(file)));
    }

    LegacyVaultFile result;
    result.path_ = path;
    result.format_ = format;
    result.file_size_ = size;
    result.last_index_ = read_int32_le(header.data());
    std::copy_n(header.begin() + kDigestOffset, result.digest_.size(), result.digest_.begin());

    // Neither format has a magic number, so the shape of the file is all that tells them
    // apart before the password: a file that cannot be the chosen format but is just what a
    // writer of the other one makes was most likely given to the wrong button.
    const LegacyFormat other = other_format(format);
    if (Status shape = check_shape(format, size, result.last_index_); !shape) {
        if (written_like(other, size, result.last_index_)) return looks_like(path, other);
        return not_in_format(path, format, shape.error());
    }
    result.other_fits_ = check_shape(other, size, result.last_index_).ok();
    // The new format deciphers the whole file; the old one, like the earlier versions, only
    // its first 134420 bytes. Both are read when both could fit, to compare the two parses.
    result.body_size_ = format == LegacyFormat::New || result.other_fits_
                            ? size - qint64(kHeaderSize)
                            : qint64(kOldFileSize - kHeaderSize);
    return result;
}

bool LegacyVaultFile::password_matches(std::string_view padded_password) const {
    return Md5Digest::of(padded_password) == digest_;
}

Result<std::vector<VaultRecord>> LegacyVaultFile::read_records(
    std::string_view padded_password) const {
    if (!password_matches(padded_password)) return make_error(QStringLiteral("密码错误"));
    MarsCipher cipher;
    if (!cipher.set_key(padded_password)) {
        return make_error(QStringLiteral("密码有 %1 字节，不能作为解密密钥（须为 %2 至 %3 字节）")
                              .arg(padded_password.size())
                              .arg(MarsCipher::kMinKeyBytes)
                              .arg(MarsCipher::kMaxKeyBytes));
    }

    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return make_error(QStringLiteral("数据库不存在（无法打开“%1”：%2）")
                              .arg(native_path(path_), file_error_text(file)));
    }
    // Checked again: the file may have been replaced while the password was asked.
    std::array<std::uint8_t, kHeaderSize> header{};
    if (file.size() != file_size_ ||
        !read_fully(file, reinterpret_cast<char*>(header.data()), qint64(header.size())) ||
        read_int32_le(header.data()) != last_index_ ||
        !std::equal(digest_.begin(), digest_.end(), header.begin() + kDigestOffset)) {
        return make_error(
            QStringLiteral("“%1”在导入过程中被改动，请重新选择").arg(native_path(path_)));
    }
    std::string body(std::size_t(body_size_), '\0');
    // The body is the source's records in plain text once deciphered.
    struct Wipe {
        std::string& bytes;
        ~Wipe() { secure_wipe(bytes); }
    } wipe{body};
    if (!read_fully(file, body.data(), body_size_)) {
        return make_error(
            QStringLiteral("读取“%1”失败：%2").arg(native_path(path_), file_error_text(file)));
    }
    auto* bytes = reinterpret_cast<std::uint8_t*>(body.data());
    cipher.decrypt_blocks(bytes, bytes, body.size() / MarsCipher::kBlockSize);

    Parse chosen = parse_as(format_, body, record_count(), file_size_);
    // Only a file just as the other format's writer leaves it is said to be of that format: a
    // damaged file of the chosen one may well read loosely as the other, and is reported as
    // damaged.
    if (other_fits_ && chosen.fit != Fit::Exact) {
        const LegacyFormat other = other_format(format_);
        if (parse_as(other, body, record_count(), file_size_).fit == Fit::Exact) {
            return looks_like(path_, other);
        }
    }
    if (!chosen.records) return not_in_format(path_, format_, chosen.records.error());
    return std::move(chosen.records);
}

Result<std::vector<VaultRecord>> parse_old_slots(std::string_view slot_area, int record_count) {
    if (record_count < 0 || record_count > kSlotCount ||
        slot_area.size() < std::size_t(record_count) * kSlotSize) {
        return make_error(QStringLiteral("记录区不足 %1 条记录").arg(record_count));
    }
    struct Field {
        std::size_t offset, size;
        std::string VaultRecord::*member;
        const char* label;
    };
    static constexpr Field kFields[] = {
        {kTitleOffset, kTitleSize, &VaultRecord::title, "标题"},
        {kAccountOffset, kAccountSize, &VaultRecord::account, "用户名"},
        {kPasswordOffset, kPasswordSize, &VaultRecord::password, "密码"},
        {kRemarkOffset, kRemarkSize, &VaultRecord::remark, "备注"},
    };
    std::vector<VaultRecord> records(static_cast<std::size_t>(record_count));
    for (int i = 0; i < record_count; ++i) {
        const std::string_view slot = slot_area.substr(std::size_t(i) * kSlotSize, kSlotSize);
        for (const Field& field : kFields) {
            if (!take_text(slot.substr(field.offset, field.size), records[i].*field.member)) {
                return make_error(field_error(i, QString::fromUtf8(field.label)));
            }
        }
    }
    return records;
}

Result<std::vector<VaultRecord>> parse_new_stream(std::string_view stream, int record_count,
                                                  std::size_t* end) {
    if (record_count < 0 || record_count > kSlotCount) {
        return make_error(QStringLiteral("记录数 %1 超出范围").arg(record_count));
    }
    struct Field {
        std::string VaultRecord::*member;
        const char* label;
    };
    // The stream's order differs from the table's: the remark comes second.
    static constexpr Field kFields[] = {
        {&VaultRecord::title, "标题"},
        {&VaultRecord::remark, "备注"},
        {&VaultRecord::account, "用户名"},
        {&VaultRecord::password, "密码"},
    };
    std::vector<VaultRecord> records(static_cast<std::size_t>(record_count));
    std::size_t p = 0;
    for (int i = 0; i < record_count; ++i) {
        for (const Field& field : kFields) {
            if (p >= stream.size()) {
                return make_error(QStringLiteral("数据只含 %1 条完整记录，少于文件头所说的 %2 条")
                                      .arg(i)
                                      .arg(record_count));
            }
            const std::string_view rest = stream.substr(p);
            if (!take_text(rest, records[i].*field.member)) {
                return make_error(field_error(i, QString::fromUtf8(field.label)));
            }
            // Past the NUL and the one unread byte that follows it.
            p += (records[i].*field.member).size() + 2;
        }
    }
    if (end != nullptr) *end = std::min(p, stream.size());
    return records;
}

QString legacy_interrupted_message() { return QStringLiteral("已中断，没有导入任何记录。"); }

Status insert_legacy_records(SqliteDb& vault, const std::vector<VaultRecord>& records,
                             const StopRequested& stop) {
    SqliteTransaction transaction(vault);
    if (Status begun = transaction.begin_status(); !begun) {
        return make_error(QStringLiteral("导入失败，没有导入任何记录：%1").arg(begun.error()));
    }
    for (const VaultRecord& record : records) {
        if (stop_requested(stop)) return make_error(legacy_interrupted_message());
        if (auto id = statements::insert_record_without_category(vault, record); !id) {
            return make_error(QStringLiteral("导入失败，没有导入任何记录：%1").arg(id.error()));
        }
    }
    if (Status committed = transaction.commit(); !committed) {
        return make_error(QStringLiteral("导入失败，没有导入任何记录：%1").arg(committed.error()));
    }
    return Status::success();
}

LegacyImportResult import_legacy_file(SqliteDb& vault, const LegacyVaultFile& file,
                                      std::string_view padded_password, const StopRequested& stop) {
    if (!file.password_matches(padded_password)) {
        return {LegacyImportOutcome::WrongPassword, 0, QStringLiteral("密码错误")};
    }
    auto records = file.read_records(padded_password);
    if (!records) return {LegacyImportOutcome::Failed, 0, records.error()};
    if (Status status = insert_legacy_records(vault, *records, stop); !status) {
        return {LegacyImportOutcome::Failed, 0, status.error()};
    }
    return {LegacyImportOutcome::Imported, int(records->size()), QString()};
}

}  // namespace korvane::tools

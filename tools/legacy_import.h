// SPDX-License-Identifier: GPL-3.0-or-later
// Import of the two older enciphered vault files: the fixed-slot "old" file and the
// record-stream "new" file, both with an MD5 password check and MARS ECB blocks.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/stop_request.h"
#include "vault/result.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane::tools {

enum class LegacyFormat {
    Old,  // up to version 0.854: 300 slots of 448 bytes, 134420 bytes in all
    New,  // a stream of NUL-terminated fields after the header
};

// Layout constants shared with tests that write such files.
namespace legacy {
inline constexpr std::size_t kHeaderSize = 20;  // N (int32 LE) and the MD5 digest
inline constexpr std::size_t kDigestOffset = 4;
inline constexpr int kSlotCount = 300;
inline constexpr std::size_t kSlotSize = 448;
inline constexpr std::size_t kOldFileSize = kHeaderSize + kSlotCount * kSlotSize;  // 134420
inline constexpr std::size_t kTitleOffset = 0, kTitleSize = 64;
inline constexpr std::size_t kAccountOffset = 64, kAccountSize = 64;
inline constexpr std::size_t kPasswordOffset = 128, kPasswordSize = 64;
inline constexpr std::size_t kRemarkOffset = 192, kRemarkSize = 256;
inline constexpr int kMaxLastIndex = kSlotCount - 1;  // N: records 0..N
inline constexpr int kMinLastIndex = -1;              // no records
// A new file's field: at most the 64 KiB a vault field holds, then its NUL and the unread byte.
inline constexpr std::size_t kMaxStreamFieldBytes = 64 * 1024;
inline constexpr std::size_t kMinStreamRecordSize = 4 * 2;
inline constexpr std::size_t kMaxStreamRecordSize = 4 * (kMaxStreamFieldBytes + 2);
// The longest new file 300 records can make, its stream rounded up to whole blocks.
inline constexpr std::size_t kMaxNewFileSize =
    kHeaderSize + (kSlotCount * kMaxStreamRecordSize + 15) / 16 * 16;
}  // namespace legacy

// A legacy file whose header and size have been read and checked; the body is read and
// deciphered only once the password has been checked.
class LegacyVaultFile {
public:
    // Reads the header. Fails (with "数据库不存在" for a file that cannot be opened) when the
    // file is shorter than the header, an old file is shorter than 134420 bytes, a new file is
    // longer than 300 records can make it (checked before any byte is read), N is above 299 or
    // below -1, or a new file's stream is not whole 16-byte blocks or too short for N + 1
    // records. When such a file has just the shape the other format's writer makes (an old
    // file's 134420 bytes, a new file's N + 1 records in whole blocks), the message says the
    // file looks like the other format instead.
    static Result<LegacyVaultFile> open(const QString& path, LegacyFormat format);

    LegacyFormat format() const { return format_; }
    // N as stored: the number of records minus one.
    std::int32_t last_index() const { return last_index_; }
    int record_count() const { return last_index_ < 0 ? 0 : last_index_ + 1; }

    // padded_password is the prompt's text after text::pad_master_password.
    bool password_matches(std::string_view padded_password) const;

    // Reads, deciphers and parses records 0..N, each with an empty category. Fails on a wrong
    // password, a key the cipher cannot take, a field without its NUL, a stream holding fewer
    // than N + 1 records, or a file that changed since open(). When the file could be either
    // format, it is parsed as both: it fails, saying which format the file looks like, when it
    // reads as the other format exactly as that format's writer leaves it (an old file of
    // exactly 134420 bytes; a stream whose last record ends in its last block) and not so as
    // the chosen one. A file that reads as both keeps the chosen format.
    Result<std::vector<VaultRecord>> read_records(std::string_view padded_password) const;

private:
    LegacyVaultFile() = default;

    QString path_;
    LegacyFormat format_ = LegacyFormat::Old;
    std::int32_t last_index_ = -1;
    std::array<std::uint8_t, 16> digest_{};
    std::int64_t file_size_ = 0;
    std::int64_t body_size_ = 0;  // the bytes deciphered after the header
    bool other_fits_ = false;     // the header and size allow the other format too
};

// Parse deciphered bodies, records 0..record_count - 1; they never read outside the bytes given,
// whatever those hold, so a fuzzer can drive them directly.
Result<std::vector<VaultRecord>> parse_old_slots(std::string_view slot_area, int record_count);
// end, if given, receives where the last record ends in the stream.
Result<std::vector<VaultRecord>> parse_new_stream(std::string_view stream, int record_count,
                                                  std::size_t* end = nullptr);

// Adds the records with an empty category in one transaction: all of them or none. Once stop
// answers true, between two records, the transaction is rolled back.
Status insert_legacy_records(SqliteDb& vault, const std::vector<VaultRecord>& records,
                             const StopRequested& stop = {});

enum class LegacyImportOutcome { Imported, WrongPassword, Failed };

struct LegacyImportResult {
    LegacyImportOutcome outcome = LegacyImportOutcome::Failed;
    int imported = 0;
    QString message;  // for Failed
};

// The steps after the password prompt: check, read, insert. WrongPassword is the dialog's
// "密码错误" (caption "出错啦"); in every outcome but Imported nothing was inserted, a stop
// included (Failed, with legacy_interrupted_message()).
LegacyImportResult import_legacy_file(SqliteDb& vault, const LegacyVaultFile& file,
                                      std::string_view padded_password,
                                      const StopRequested& stop = {});

QString legacy_interrupted_message();

}  // namespace korvane::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Header and schema checks of a vault database.
#include "vault/vault_schema_check.h"

#include <QFile>
#include <array>
#include <cstring>

#include "vault/file_io.h"
#include "vault/write_failure.h"

namespace korvane {
namespace {

constexpr std::size_t kHeaderBytes = 100;
constexpr char kMagic[] = "SQLite format 3";  // with its terminating NUL: 16 bytes

Error not_a_vault(const QString& path, const QString& why) {
    return make_error(QStringLiteral("“%1”不是有效的密码库数据库：%2").arg(native_path(path), why));
}

std::uint32_t big_endian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
    return value;
}

// Whether a table of that name exists (names resolve case-insensitively, as in SQLite).
Result<bool> is_table(SqliteDb& db, std::string_view name) {
    Result<SqliteStatement> stmt = db.prepare(
        "select 1 from sqlite_master where type='table' and name=? collate nocase "
        "and sql not like 'create virtual table%'");
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, name);
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    return row;
}

// Whether the table computes a column instead of storing it: a hostile schema could make every
// read of a row build hundreds of megabytes, and every write run its expression.
Result<bool> has_generated_column(SqliteDb& db, std::string_view table) {
    Result<SqliteStatement> stmt = db.prepare("select 1 from pragma_table_xinfo(?) where hidden");
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, table);
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    return row;
}

Result<bool> has_trigger(SqliteDb& db) {
    Result<SqliteStatement> stmt = db.prepare("select 1 from sqlite_master where type='trigger'");
    if (!stmt) return make_error(stmt.error());
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    return row;
}

// What is wrong with a database of size bytes that starts with header (kHeaderBytes long).
std::optional<QString> header_problem(const unsigned char* header, qint64 size) {
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        return QStringLiteral("不是 SQLite 数据库");
    }
    std::uint32_t page_size = big_endian(&header[16], 2);
    if (page_size == 1) page_size = 65536;
    if (page_size < 512 || (page_size & (page_size - 1)) != 0) {
        return QStringLiteral("页大小无效");
    }
    const std::uint32_t change_counter = big_endian(&header[24], 4);
    const std::uint32_t page_count = big_endian(&header[28], 4);
    const std::uint32_t valid_for = big_endian(&header[92], 4);
    // Writers older than SQLite 3.7.0 left the page count stale; for their files only the
    // whole-page length can be checked.
    const bool count_valid = page_count != 0 && valid_for == change_counter;
    const bool whole =
        count_valid ? size == qint64(page_count) * page_size : size > 0 && size % page_size == 0;
    if (!whole) return QStringLiteral("文件长度与数据库的页数不符");
    return std::nullopt;
}

}  // namespace

Status check_database_header(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return not_a_vault(path, file_error_text(file));
    std::array<unsigned char, kHeaderBytes> header{};
    if (file.read(reinterpret_cast<char*>(header.data()), qint64(header.size())) !=
        qint64(header.size())) {
        return not_a_vault(path, QStringLiteral("文件太短"));
    }
    if (std::optional<QString> problem = header_problem(header.data(), file.size())) {
        return not_a_vault(path, *problem);
    }
    return Status::success();
}

Status check_vault_schema(SqliteDb& db) {
    for (std::string_view table : {"userad", "type", "userpass"}) {
        Result<bool> found = is_table(db, table);
        if (!found) return make_error(found.error());
        if (!*found) {
            return make_error(QStringLiteral("表 %1 不存在，或不是普通的表")
                                  .arg(QString::fromUtf8(table.data(), qsizetype(table.size()))));
        }
        Result<bool> generated = has_generated_column(db, table);
        if (!generated) return make_error(generated.error());
        if (*generated) {
            return make_error(QStringLiteral("表 %1 中有计算生成的列")
                                  .arg(QString::fromUtf8(table.data(), qsizetype(table.size()))));
        }
    }
    Result<bool> trigger = has_trigger(db);
    if (!trigger) return make_error(trigger.error());
    if (*trigger) return make_error(QStringLiteral("数据库中定义了触发器"));
    return Status::success();
}

}  // namespace korvane

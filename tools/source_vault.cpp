// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a database-version vault as an untrusted file, checking its shape and reading the
// columns the vault's schema declares, by name.
#include "tools/source_vault.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "vault/file_io.h"
#include "vault/sqlite_db.h"
#include "vault/vault_folder_check.h"

namespace korvane::tools {
namespace {

struct SourceTable {
    const char* name;
    std::vector<const char*> columns;
};

// The vault schema's own tables and columns, the only ones read.
const SourceTable kRecordTable{"userpass", {"bt", "name", "pass", "bz", "type"}};
const SourceTable kCategoryTable{"type", {"leibie"}};

Error unreadable(const QString& path, const QString& reason) {
    return make_error(
        QStringLiteral("“%1”不是可读取的密码库数据库：%2").arg(native_path(path), reason));
}

// A failed read said in Chinese: a value over the length limit gets its own words.
QString read_failure(SqliteDb& db, const QString& detail) {
    if (sqlite3_errcode(db.handle()) == SQLITE_TOOBIG) {
        return QStringLiteral("其中有超过 %1 KiB 的值或语句，不像是密码库")
            .arg(SqliteDb::kUntrustedMaxLength / 1024);
    }
    return detail;
}

// The vault keeps GBK bytes in a UTF-8 database; SQLite's only other encodings, UTF-16, would
// convert them. Compared in SQL, as the pragma's text itself comes in the file's encoding.
Status check_encoding(SqliteDb& db) {
    auto stmt = db.prepare("SELECT encoding = 'UTF-8' FROM pragma_encoding");
    if (!stmt) return make_error(stmt.error());
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    if (!row || stmt->column_int64(0) != 1) {
        return make_error(QStringLiteral("文本编码是 UTF-16，不是密码库使用的 UTF-8"));
    }
    return Status::success();
}

// A plain table of that name, not a view or a virtual table; a missing one is reported as such.
Status check_table_kind(SqliteDb& db, const SourceTable& table) {
    auto stmt = db.prepare(
        "SELECT type FROM pragma_table_list WHERE schema = 'main' AND name = ?1 "
        "COLLATE NOCASE");
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, table.name);
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    if (!row) return make_error(QStringLiteral("缺少 userpass 表或 type 表"));
    const std::string kind = stmt->column_text(0);
    if (kind != "table") {
        return make_error(QStringLiteral("%1 不是普通的表（而是 %2），不能读取")
                              .arg(QLatin1String(table.name),
                                   QString::fromUtf8(kind.data(), qsizetype(kind.size()))));
    }
    return Status::success();
}

// Every column the schema declares is there, and no column is computed or hidden: a generated
// column can make any value of any size from nothing in the file.
Status check_columns(SqliteDb& db, const SourceTable& table) {
    auto stmt = db.prepare("SELECT name, hidden FROM pragma_table_xinfo(?1, 'main')");
    if (!stmt) return make_error(stmt.error());
    stmt->bind_text(1, table.name);
    QStringList present;
    while (stmt->step()) {
        const std::string name = stmt->column_text(0);
        const QString label = QString::fromUtf8(name.data(), qsizetype(name.size()));
        if (stmt->column_int64(1) != 0) {
            return make_error(QStringLiteral("%1 表的列“%2”是生成列或隐藏列，不能读取")
                                  .arg(QLatin1String(table.name), label));
        }
        present << label;
    }
    if (stmt->failed()) return make_error(stmt->error());
    for (const char* column : table.columns) {
        if (!present.contains(QLatin1String(column), Qt::CaseInsensitive)) {
            return make_error(QStringLiteral("%1 表缺少 %2 列")
                                  .arg(QLatin1String(table.name), QLatin1String(column)));
        }
    }
    return Status::success();
}

Status check_shape(SqliteDb& db) {
    if (Status status = check_encoding(db); !status) return status;
    for (const SourceTable* table : {&kRecordTable, &kCategoryTable}) {
        if (Status status = check_table_kind(db, *table); !status) return status;
        if (Status status = check_columns(db, *table); !status) return status;
    }
    return Status::success();
}

// The named columns in table order; NOT INDEXED so an index the file brings cannot stand in
// for the table's own rows.
std::string select_sql(const SourceTable& table) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        sql += (i == 0 ? "\"" : ", \"") + std::string(table.columns[i]) + "\"";
    }
    return sql + " FROM main.\"" + table.name + "\" NOT INDEXED";
}

// Whether both names lead to one file, hard links and symbolic links included.
bool same_file(const QString& path, const SqliteDb* target) {
    if (!target || !target->is_open()) return false;
    const char* target_name = sqlite3_db_filename(target->handle(), "main");
    if (!target_name || *target_name == '\0') return false;
    struct stat source_info {};
    struct stat target_info {};
    return ::stat(QFile::encodeName(path).constData(), &source_info) == 0 &&
           ::stat(target_name, &target_info) == 0 && source_info.st_dev == target_info.st_dev &&
           source_info.st_ino == target_info.st_ino;
}

Result<SourceVault> read_all(SourceVaultReader& reader) {
    SourceVault source;
    Status records = reader.for_each_record([&source](const RecordView& r) {
        source.records.push_back(VaultRecord{std::string(r.title), std::string(r.account),
                                             std::string(r.password), std::string(r.remark),
                                             std::string(r.category)});
        return Status::success();
    });
    if (!records) return make_error(records.error());
    Status categories = reader.for_each_category([&source](std::string_view name) {
        source.categories.emplace_back(name);
        return Status::success();
    });
    if (!categories) return make_error(categories.error());
    return source;
}

}  // namespace

Result<SourceVaultReader> SourceVaultReader::open(const QString& path, const SqliteDb* target) {
    if (path.isEmpty()) return make_error(QStringLiteral("请先选择要读取的数据库文件"));
    // Opening does not create a missing file, but says so less clearly than this.
    if (Status readable = check_readable_source(path); !readable)
        return make_error(readable.error());
    if (!QFileInfo(path).isFile()) return unreadable(path, QStringLiteral("文件不存在"));
    auto db = SqliteDb::open_untrusted(path);
    if (!db) return unreadable(path, db.error());

    // A file that is not SQLite (an encrypted user.dat) fails here, at its first read.
    if (Status shape = check_shape(*db); !shape) {
        return unreadable(path, read_failure(*db, shape.error()));
    }
    SourceVaultReader reader(path);
    reader.db_ = std::move(*db);
    if (!same_file(path, target)) return reader;

    auto whole = read_all(reader);
    if (!whole) return make_error(whole.error());
    reader.db_.close();
    reader.whole_ = std::move(*whole);
    return reader;
}

Status SourceVaultReader::for_each_record(const RecordSink& sink) {
    if (whole_) {
        for (const VaultRecord& record : whole_->records) {
            if (Status status = sink(RecordView(record)); !status) return status;
        }
        return Status::success();
    }
    auto stmt = db_.prepare(select_sql(kRecordTable));
    if (!stmt) return unreadable(path_, stmt.error());
    while (stmt->step()) {
        const RecordView row(stmt->column_view(0), stmt->column_view(1), stmt->column_view(2),
                             stmt->column_view(3), stmt->column_view(4));
        if (Status status = sink(row); !status) return status;
    }
    if (stmt->failed()) return unreadable(path_, read_failure(db_, stmt->error()));
    return Status::success();
}

Status SourceVaultReader::for_each_category(const CategorySink& sink) {
    if (whole_) {
        for (const std::string& name : whole_->categories) {
            if (Status status = sink(name); !status) return status;
        }
        return Status::success();
    }
    auto stmt = db_.prepare(select_sql(kCategoryTable));
    if (!stmt) return unreadable(path_, stmt.error());
    while (stmt->step()) {
        if (Status status = sink(stmt->column_view(0)); !status) return status;
    }
    if (stmt->failed()) return unreadable(path_, read_failure(db_, stmt->error()));
    return Status::success();
}

Result<SourceVault> read_source_vault(const QString& path) {
    auto reader = SourceVaultReader::open(path);
    if (!reader) return make_error(reader.error());
    return read_all(*reader);
}

}  // namespace korvane::tools

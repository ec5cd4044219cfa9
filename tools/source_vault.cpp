// Opening a database-version vault as an untrusted file, checking its shape and reading the
// columns the vault's schema declares, by name.
#include "tools/source_vault.h"

#include <sqlite3.h>

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

Result<std::vector<VaultRecord>> read_records(SqliteDb& db) {
    auto stmt = db.prepare(select_sql(kRecordTable));
    if (!stmt) return make_error(stmt.error());
    std::vector<VaultRecord> records;
    while (stmt->step()) {
        records.push_back(VaultRecord{stmt->column_text(0), stmt->column_text(1),
                                      stmt->column_text(2), stmt->column_text(3),
                                      stmt->column_text(4)});
    }
    if (stmt->failed()) return make_error(read_failure(db, stmt->error()));
    return records;
}

Result<std::vector<std::string>> read_categories(SqliteDb& db) {
    auto stmt = db.prepare(select_sql(kCategoryTable));
    if (!stmt) return make_error(stmt.error());
    std::vector<std::string> names;
    while (stmt->step()) names.push_back(stmt->column_text(0));
    if (stmt->failed()) return make_error(read_failure(db, stmt->error()));
    return names;
}

}  // namespace

Result<SourceVault> read_source_vault(const QString& path) {
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
    SourceVault source;
    auto records = read_records(*db);
    if (!records) return unreadable(path, records.error());
    source.records = std::move(*records);
    auto categories = read_categories(*db);
    if (!categories) return unreadable(path, categories.error());
    source.categories = std::move(*categories);
    return source;
}

}  // namespace korvane::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a database-version vault as an untrusted file, checking its shape and reading the
// columns the vault's schema declares, by name.
#include "tools/source_vault.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <vector>

#include "vault/file_io.h"
#include "vault/secure_wipe.h"
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

// A WAL source copied with its -wal into a folder only this user can enter, the WAL written
// into the copy's own pages, so that the read-only open of the copy sees every committed row.
// The copy holds the source's passwords in plain text: its files are overwritten before they
// are removed.
class PrivateSourceCopy {
public:
    PrivateSourceCopy() = default;
    PrivateSourceCopy(const PrivateSourceCopy&) = delete;
    PrivateSourceCopy& operator=(const PrivateSourceCopy&) = delete;
    ~PrivateSourceCopy() { wipe_and_remove(); }

    static Result<std::unique_ptr<PrivateSourceCopy>> make(const QString& source,
                                                           const QString& wal);
    QString path() const { return QDir(dir_.path()).filePath(QStringLiteral("source.db")); }

private:
    Status copy_file(const QString& from, const QString& to);
    Status fold_wal();
    void wipe_and_remove();

    QTemporaryDir dir_{QDir(QDir::tempPath()).filePath(QStringLiteral("korvane-source-XXXXXX"))};
};

namespace {

// The bytes 18 and 19 of the header (the write and read versions) are 2 in WAL mode.
bool in_wal_mode(const QString& path) {
    QFile file(path);
    std::array<char, 20> header{};
    if (!file.open(QIODevice::ReadOnly) || !read_fully(file, header.data(), qint64(header.size())))
        return false;
    return header[18] == 2 && header[19] == 2;
}

// Whether the source's -wal may still hold rows: anything but an empty regular file beside a
// WAL-mode database (what is no regular file is refused when it is copied). Looked at with
// stat only, so a FIFO in its place cannot block.
bool has_pending_wal(const QString& path, const QString& wal) {
    struct stat info {};
    if (::stat(QFile::encodeName(wal).constData(), &info) != 0) return false;
    if (S_ISREG(info.st_mode) && info.st_size == 0) return false;
    return in_wal_mode(path);
}

Error wal_unreadable(const QString& path, const QString& wal, const QString& reason) {
    return unreadable(path, QStringLiteral("它是 WAL 模式的数据库，还有记录保存在“%1”中，"
                                           "但无法读取这些记录：%2")
                                .arg(native_path(wal), reason));
}

}  // namespace

Result<std::unique_ptr<PrivateSourceCopy>> PrivateSourceCopy::make(const QString& source,
                                                                   const QString& wal) {
    auto copy = std::make_unique<PrivateSourceCopy>();
    if (!copy->dir_.isValid()) {
        return wal_unreadable(
            source, wal, QStringLiteral("无法创建临时文件夹：%1").arg(copy->dir_.errorString()));
    }
    // mkdtemp makes it 0700 already; said again so that no umask or platform can widen it.
    QFile::setPermissions(copy->dir_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (Status status = check_readable_source(wal); !status) {
        return wal_unreadable(source, wal, status.error());
    }
    for (const auto& [from, to] :
         {std::pair{source, copy->path()}, std::pair{wal, copy->path() + QStringLiteral("-wal")}}) {
        if (Status copied = copy->copy_file(from, to); !copied) {
            return wal_unreadable(source, wal, copied.error());
        }
    }
    if (Status folded = copy->fold_wal(); !folded) {
        return wal_unreadable(source, wal, folded.error());
    }
    return copy;
}

Status PrivateSourceCopy::copy_file(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return make_error(
            QStringLiteral("无法打开“%1”：%2").arg(native_path(from), in.errorString()));
    }
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return make_error(
            QStringLiteral("无法创建临时文件“%1”：%2").arg(native_path(to), out.errorString()));
    }
    std::vector<char> chunk(1 << 20);
    Status status = Status::success();
    for (;;) {
        const qint64 n = in.read(chunk.data(), qint64(chunk.size()));
        if (n < 0) {
            status = make_error(
                QStringLiteral("读取“%1”失败：%2").arg(native_path(from), in.errorString()));
            break;
        }
        if (n == 0) break;
        if (out.write(chunk.data(), n) != n) {
            status = make_error(
                QStringLiteral("写入临时文件“%1”失败：%2").arg(native_path(to), out.errorString()));
            break;
        }
    }
    secure_wipe(chunk);
    return status;
}

// Switching the copy back to a rollback journal makes SQLite write every committed frame of
// the WAL into the database file and remove the WAL; the immutable open of the copy then
// finds every row in the file itself. Nothing the copy's schema defines may run meanwhile.
Status PrivateSourceCopy::fold_wal() {
    auto db = SqliteDb::open(path(), SqliteDb::Mode::ReadWrite);
    if (!db) return make_error(db.error());
    for (int op : {SQLITE_DBCONFIG_TRUSTED_SCHEMA, SQLITE_DBCONFIG_ENABLE_TRIGGER,
                   SQLITE_DBCONFIG_ENABLE_VIEW, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION}) {
        if (sqlite3_db_config(db->handle(), op, 0, nullptr) != SQLITE_OK) {
            return make_error(QStringLiteral("无法以安全方式打开临时副本"));
        }
    }
    if (sqlite3_db_config(db->handle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK) {
        return make_error(QStringLiteral("无法以安全方式打开临时副本"));
    }
    auto stmt = db->prepare("PRAGMA journal_mode=DELETE");
    if (!stmt) return make_error(stmt.error());
    const bool row = stmt->step();
    if (stmt->failed()) return make_error(stmt->error());
    if (!row || stmt->column_text(0) != "delete") {
        return make_error(QStringLiteral("SQLite 没能把其中的记录写回数据库文件"));
    }
    return Status::success();
}

void PrivateSourceCopy::wipe_and_remove() {
    if (!dir_.isValid()) return;
    const QFileInfoList files = QDir(dir_.path()).entryInfoList(QDir::Files | QDir::Hidden);
    const std::vector<char> zeros(1 << 20, '\0');
    for (const QFileInfo& info : files) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) continue;
        for (qint64 left = file.size(); left > 0;) {
            const qint64 n = file.write(zeros.data(), std::min<qint64>(left, qint64(zeros.size())));
            if (n <= 0) break;
            left -= n;
        }
        ::fdatasync(file.handle());
    }
    dir_.remove();
}

SourceVaultReader::SourceVaultReader(QString path) : path_(std::move(path)) {}
SourceVaultReader::SourceVaultReader(SourceVaultReader&& other) noexcept = default;
SourceVaultReader& SourceVaultReader::operator=(SourceVaultReader&& other) noexcept = default;
SourceVaultReader::~SourceVaultReader() = default;

Result<SourceVaultReader> SourceVaultReader::open(const QString& path, const SqliteDb* target) {
    if (path.isEmpty()) return make_error(QStringLiteral("请先选择要读取的数据库文件"));
    // Opening does not create a missing file, but says so less clearly than this.
    if (Status readable = check_readable_source(path); !readable)
        return make_error(readable.error());
    if (!QFileInfo(path).isFile()) return unreadable(path, QStringLiteral("文件不存在"));
    std::unique_ptr<PrivateSourceCopy> copy;
    if (const QString wal = path + QStringLiteral("-wal"); has_pending_wal(path, wal)) {
        auto made = PrivateSourceCopy::make(path, wal);
        if (!made) return make_error(made.error());
        copy = std::move(*made);
    }
    auto db = SqliteDb::open_untrusted(copy ? copy->path() : path);
    if (!db) return unreadable(path, db.error());

    // A file that is not SQLite (an encrypted user.dat) fails here, at its first read.
    if (Status shape = check_shape(*db); !shape) {
        return unreadable(path, read_failure(*db, shape.error()));
    }
    SourceVaultReader reader(path);
    reader.copy_ = std::move(copy);
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

// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteDb, SqliteStatement and SqliteTransaction over the sqlite3 C API.
#include "vault/sqlite_db.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QUrl>
#include <cerrno>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "vault/write_failure.h"

namespace korvane {
namespace {

// A full disk reads "database or disk is full" or, past a file-size limit, "disk I/O error";
// both are told in Chinese, as the file writers tell them. A connection left in error by a
// failed write repeats "disk I/O error" without the cause, which was most likely the same.
std::optional<QString> out_of_room(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db);
    if ((code & 0xff) == SQLITE_FULL) return write_failure_reason(ENOSPC, {});
    const int system_error = sqlite3_system_errno(db);
    if ((code & 0xff) == SQLITE_IOERR && is_out_of_room(system_error)) {
        return write_failure_reason(system_error, {});
    }
    if (code == SQLITE_IOERR_WRITE) return QStringLiteral("写入磁盘失败，可能是磁盘空间不足");
    return std::nullopt;
}

// The common failures said in Chinese from the result code, with the system's cause where SQLite
// kept it; the rest (a damaged file, a constraint) keep SQLite's own words.
std::optional<QString> in_chinese(sqlite3* db) {
    if (std::optional<QString> room = out_of_room(db)) return room;
    const int system_error = sqlite3_system_errno(db);
    if (sqlite3_extended_errcode(db) == SQLITE_READONLY_DBMOVED) {
        // Written on, the file that is gone would take the change with it.
        return QStringLiteral(
            "密码库文件在打开期间被移动、替换或删除了，修改没有保存。"
            "锁定或退出时，程序会把已保存的全部记录重新写回密码库文件");
    }
    switch (sqlite3_extended_errcode(db) & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral("数据库被锁定");
        case SQLITE_NOMEM:
            return QStringLiteral("内存不足");
        case SQLITE_IOERR:
            if (system_error == 0) return QStringLiteral("磁盘输入/输出错误");
            return QStringLiteral("磁盘输入/输出错误（%1）").arg(system_error_text(system_error));
        case SQLITE_CANTOPEN:
            if (system_error != 0) return system_error_text(system_error);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

QString sqlite_message(sqlite3* db) {
    if (!db) return QStringLiteral("数据库未打开");
    return in_chinese(db).value_or(QString::fromUtf8(sqlite3_errmsg(db)));
}

// A failed sqlite3_open_v2 usually still hands back a connection carrying the reason; it must be
// closed all the same.
Error open_failed(sqlite3* db, int rc, const QString& message) {
    const QString detail = db ? sqlite_message(db) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close(db);
    return make_error(message.arg(detail));
}

QString database_error(const QString& detail) {
    return QStringLiteral("数据库错误：%1").arg(detail);
}

// Every connection is used by the one thread that opened it (the cipher's workers only see
// bytes), so SQLite's per-call connection mutex buys nothing; it was a tenth of an import's
// main-thread time.
constexpr int kSingleThreadConnection = SQLITE_OPEN_NOMUTEX;

// SQLite's memory statistics take a global mutex on every allocation; nothing here reads them.
// They can only be switched off before the library's first use, hence once, before any open.
void configure_library_once() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
}

int open_flags(SqliteDb::Mode mode) {
    configure_library_once();
    switch (mode) {
        case SqliteDb::Mode::ReadWriteCreate:
            return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | kSingleThreadConnection;
        case SqliteDb::Mode::ReadWrite:
            return SQLITE_OPEN_READWRITE | kSingleThreadConnection;
        case SqliteDb::Mode::ReadOnly:
            return SQLITE_OPEN_READONLY | kSingleThreadConnection;
    }
    return SQLITE_OPEN_READONLY | kSingleThreadConnection;
}

// True when sql holds more than whitespace, semicolons and comments (or does not parse).
bool has_statement(sqlite3* db, std::string_view sql) {
    while (!sql.empty()) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        const int rc =
            sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt, &tail);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_OK || stmt) return true;
        if (!tail || tail == sql.data()) return false;
        sql.remove_prefix(static_cast<std::size_t>(tail - sql.data()));
    }
    return false;
}

// "file:" and the absolute path, every byte but letters, digits, "-._~" and "/" escaped, so
// that no character of the name is read as a query ("?mode=rw") or fragment; immutable=1 opens
// without locks and never creates a -wal or -shm file beside it. Made absolute by hand, not
// cleaned: ".." after a linked folder is the system's to resolve, as for any other open.
QByteArray untrusted_uri(const QString& path) {
    const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path;
    const QByteArray name = QFile::encodeName(absolute);
    return QByteArrayLiteral("file:") + QUrl::toPercentEncoding(name, "/") +
           QByteArrayLiteral("?immutable=1");
}

// Turns off whatever the file's schema could make the connection do: triggers and views
// defined there, schema functions with side effects, writes to the schema, extensions,
// attached files and huge values or statements.
bool restrict_connection(sqlite3* db) {
    const int off_switches[] = {SQLITE_DBCONFIG_TRUSTED_SCHEMA, SQLITE_DBCONFIG_ENABLE_TRIGGER,
                                SQLITE_DBCONFIG_ENABLE_VIEW, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION};
    for (int op : off_switches) {
        int now = 1;
        if (sqlite3_db_config(db, op, 0, &now) != SQLITE_OK || now != 0) return false;
    }
    int defensive = 0;
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &defensive) != SQLITE_OK ||
        defensive != 1) {
        return false;
    }
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, SqliteDb::kUntrustedMaxLength);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, SqliteDb::kUntrustedMaxSqlLength);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    return sqlite3_exec(db, "PRAGMA trusted_schema=OFF", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

// SqliteStatement

SqliteStatement::SqliteStatement(sqlite3_stmt* stmt) : stmt_(stmt) {}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)),
      failed_(std::exchange(other.failed_, false)),
      error_(std::move(other.error_)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        failed_ = std::exchange(other.failed_, false);
        error_ = std::move(other.error_);
    }
    return *this;
}

void SqliteStatement::bind_text(int index, std::string_view bytes) {
    bind_text_as(index, bytes, SQLITE_TRANSIENT);
}

void SqliteStatement::bind_borrowed_text(int index, std::string_view bytes) {
    bind_text_as(index, bytes, SQLITE_STATIC);
}

void SqliteStatement::bind_text_as(int index, std::string_view bytes, void (*lifetime)(void*)) {
    if (!stmt_ || failed_) return;
    // A null pointer would bind SQL NULL; an empty value must stay an empty text.
    const char* data = bytes.data() ? bytes.data() : "";
    const int rc = sqlite3_bind_text64(stmt_, index, data, bytes.size(), lifetime, SQLITE_UTF8);
    if (rc != SQLITE_OK) {
        // Kept until step(), which then refuses to run with a parameter missing.
        failed_ = true;
        error_ = database_error(QString::fromUtf8(sqlite3_errstr(rc)));
    }
}

void SqliteStatement::bind_int64(int index, std::int64_t value) {
    if (!stmt_ || failed_) return;
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK) {
        failed_ = true;
        error_ = database_error(QString::fromUtf8(sqlite3_errstr(rc)));
    }
}

bool SqliteStatement::step() {
    if (failed_) return false;
    if (!stmt_) {
        failed_ = true;
        error_ = database_error(QStringLiteral("语句未准备"));
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    failed_ = true;
    error_ = database_error(sqlite_message(sqlite3_db_handle(stmt_)));
    return false;
}

void SqliteStatement::reset() {
    // The outcome of the last step was taken from step() already; reset repeats it.
    if (stmt_) sqlite3_reset(stmt_);
    failed_ = false;
    error_.clear();
}

std::string SqliteStatement::column_text(int column) const {
    return std::string(column_view(column));
}

std::string_view SqliteStatement::column_view(int column) const {
    if (!stmt_) return {};
    // Blob first, then the length: the text's own bytes, embedded NULs included, unconverted.
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    if (!data || size <= 0) return {};
    return std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::int64_t SqliteStatement::column_int64(int column) const {
    return stmt_ ? sqlite3_column_int64(stmt_, column) : 0;
}

bool SqliteStatement::column_is_null(int column) const {
    return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

// SqliteDb

SqliteDb::~SqliteDb() { close(); }

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), vfs_(std::move(other.vfs_)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        vfs_ = std::move(other.vfs_);
    }
    return *this;
}

Result<SqliteDb> SqliteDb::open(const QString& path, Mode mode) {
    sqlite3* db = nullptr;
    const QByteArray utf8 = path.toUtf8();
    const int rc = sqlite3_open_v2(utf8.constData(), &db, open_flags(mode), nullptr);
    if (rc != SQLITE_OK) return open_failed(db, rc, QStringLiteral("无法打开数据库文件：%1"));
    return SqliteDb(db);
}

Result<SqliteDb> SqliteDb::open_untrusted(const QString& path) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(untrusted_uri(path).constData(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | kSingleThreadConnection, nullptr);
    if (rc != SQLITE_OK) return open_failed(db, rc, QStringLiteral("无法打开数据库文件：%1"));
    if (!restrict_connection(db)) {
        sqlite3_close(db);
        return make_error(QStringLiteral("无法以只读的安全方式打开数据库文件"));
    }
    return SqliteDb(db);
}

Result<SqliteDb> SqliteDb::open_enciphered(const QString& path, std::shared_ptr<EncipheredVfs> vfs,
                                           Mode mode) {
    if (!vfs) return make_error(QStringLiteral("无法打开数据库文件：没有密钥"));
    const KeyCheckResult check = vfs->check_key(path);
    switch (check.outcome) {
        case KeyCheck::Matches:
        case KeyCheck::NoDatabase:
            break;
        case KeyCheck::WrongKey:
            return make_error(QStringLiteral("密码错误"));
        case KeyCheck::WalHeader:
            return make_error(QStringLiteral(
                "无法打开数据库文件：它使用预写日志（WAL）模式，加密的密码库不支持。"));
        case KeyCheck::FileError:
            return make_error(check.message);
    }
    sqlite3* handle = nullptr;
    const QByteArray utf8 = path.toUtf8();
    const int rc = sqlite3_open_v2(utf8.constData(), &handle, open_flags(mode), vfs->name());
    if (rc != SQLITE_OK) return open_failed(handle, rc, QStringLiteral("无法打开数据库文件：%1"));
    SqliteDb db(handle);
    db.vfs_ = std::move(vfs);
    // foreign_keys stays SQLite's default (off), as on every other connection of the vault.
    for (std::string_view pragma : {"PRAGMA synchronous=FULL", "PRAGMA temp_store=MEMORY",
                                    "PRAGMA mmap_size=0", "PRAGMA secure_delete=ON"}) {
        if (Status set = db.exec(pragma); !set) return make_error(set.error());
    }
    // journal_mode answers with the mode in force, which is the one to trust.
    Result<SqliteStatement> journal = db.prepare("PRAGMA journal_mode=DELETE");
    if (!journal) return make_error(journal.error());
    const bool row = journal->step();
    if (journal->failed()) return make_error(journal->error());
    if (!row || journal->column_text(0) != "delete") {
        return make_error(QStringLiteral("无法打开数据库文件：无法使用回滚日志"));
    }
    return db;
}

void SqliteDb::close() {
    if (!db_) return;
    sqlite3* handle = std::exchange(db_, nullptr);
    // Statements are owned elsewhere; sqlite3_close_v2 defers the close until they finish.
    // A deferred close still has its files open, and they hold the key until then.
    sqlite3_close_v2(handle);
    vfs_.reset();
}

Status SqliteDb::exec(std::string_view sql) {
    if (!db_) return make_error(database_error(sqlite_message(nullptr)));
    const std::string text(sql);
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString detail = in_chinese(db_).value_or(
            message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_free(message);
        return make_error(database_error(detail));
    }
    return Status::success();
}

Result<SqliteStatement> SqliteDb::prepare(std::string_view sql) {
    if (!db_) return make_error(database_error(sqlite_message(nullptr)));
    if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return make_error(database_error(QStringLiteral("语句过长")));
    }
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return make_error(database_error(sqlite_message(db_)));
    }
    SqliteStatement statement(stmt);
    if (!stmt) return make_error(database_error(QStringLiteral("语句为空")));
    // Anything after the first statement would silently never run.
    if (has_statement(db_, sql.substr(static_cast<std::size_t>(tail - sql.data())))) {
        return make_error(database_error(QStringLiteral("一次只能执行一条语句")));
    }
    return statement;
}

QString SqliteDb::last_error() const { return database_error(sqlite_message(db_)); }

std::int64_t SqliteDb::last_insert_rowid() const {
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

// SqliteTransaction

SqliteTransaction::SqliteTransaction(SqliteDb& db) : db_(db), begin_(db.exec("BEGIN")) {
    open_ = begin_.ok();
}

SqliteTransaction::~SqliteTransaction() {
    // A failed COMMIT may already have ended the transaction; ROLLBACK then has nothing to do.
    if (open_ && db_.is_open() && sqlite3_get_autocommit(db_.handle()) == 0) {
        (void)db_.exec("ROLLBACK");
    }
}

Status SqliteTransaction::commit() {
    if (!open_) return make_error(QStringLiteral("事务未能开始，无法提交"));
    Status status = db_.exec("COMMIT");
    if (status.ok()) open_ = false;
    return status;
}

}  // namespace korvane

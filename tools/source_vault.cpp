// Opening a database-version vault read-only and reading its records and categories.
#include "tools/source_vault.h"

#include <QDir>
#include <QFileInfo>

#include "vault/sqlite_db.h"
#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

Error unreadable(const QString& path, const QString& reason) {
    return make_error(QStringLiteral("“%1”不是可读取的密码库数据库：%2")
                          .arg(QDir::toNativeSeparators(path), reason));
}

}  // namespace

Result<SourceVault> read_source_vault(const QString& path) {
    if (path.isEmpty()) return make_error(QStringLiteral("请先选择要读取的数据库文件"));
    // Read-only open does not create a missing file, but says so less clearly than this.
    if (!QFileInfo(path).isFile()) return unreadable(path, QStringLiteral("文件不存在"));
    auto db = SqliteDb::open(path, SqliteDb::Mode::ReadOnly);
    if (!db) return unreadable(path, db.error());

    // A file that is not SQLite (an encrypted user.dat) fails here, at its first read.
    auto has_tables = statements::has_vault_tables(*db);
    if (!has_tables) return unreadable(path, has_tables.error());
    if (!*has_tables) return unreadable(path, QStringLiteral("缺少 userpass 表或 type 表"));

    SourceVault source;
    auto records = statements::all_records(*db);
    if (!records) return unreadable(path, records.error());
    source.records = std::move(*records);
    auto categories = statements::list_categories(*db);
    if (!categories) return unreadable(path, categories.error());
    source.categories = std::move(*categories);
    return source;
}

}  // namespace korvane::tools

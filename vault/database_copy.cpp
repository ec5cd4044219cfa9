// SPDX-License-Identifier: GPL-3.0-or-later
#include "vault/database_copy.h"

#include <sqlite3.h>

#include <QFile>
#include <utility>

#include "vault/secure_wipe.h"

namespace korvane {
namespace {

// One step over all pages, so the copy is one snapshot of the source. On failure target's
// connection holds the reason.
bool copy_all_pages(sqlite3* source, sqlite3* target) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) return false;
    const int step = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup);
    return step == SQLITE_DONE && finish == SQLITE_OK;
}

QString sqlite_reason(sqlite3* db, int rc) {
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

}  // namespace

Status copy_database(SqliteDb& source, SqliteDb& target) {
    if (!copy_all_pages(source.handle(), target.handle())) {
        return make_error(QStringLiteral("复制数据库失败（%1）").arg(target.last_error()));
    }
    return Status::success();
}

Status copy_database_to_file(SqliteDb& source, const QString& path) {
    sqlite3* target = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &target,
                                   SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        Error error = make_error(sqlite_reason(target, rc));
        sqlite3_close(target);
        return error;
    }
    QString reason;
    if (!copy_all_pages(source.handle(), target)) reason = sqlite_reason(target, SQLITE_ERROR);
    // Closing releases SQLite's locks before whoever made the file flushes and closes it.
    const int close_rc = sqlite3_close(target);
    if (reason.isEmpty() && close_rc != SQLITE_OK) reason = sqlite_reason(nullptr, close_rc);
    if (!reason.isEmpty()) return make_error(reason);
    return Status::success();
}

Result<DatabaseImage> DatabaseImage::of(SqliteDb& db) {
    sqlite3_int64 size = 0;
    if (const unsigned char* in_place =
            sqlite3_serialize(db.handle(), "main", &size, SQLITE_SERIALIZE_NOCOPY)) {
        return DatabaseImage(
            std::string_view(reinterpret_cast<const char*>(in_place), std::size_t(size)), nullptr);
    }
    unsigned char* copy = sqlite3_serialize(db.handle(), "main", &size, 0);
    if (copy == nullptr) return make_error(sqlite_reason(db.handle(), SQLITE_NOMEM));
    return DatabaseImage(std::string_view(reinterpret_cast<const char*>(copy), std::size_t(size)),
                         copy);
}

DatabaseImage::~DatabaseImage() { release(); }

DatabaseImage::DatabaseImage(DatabaseImage&& other) noexcept
    : bytes_(std::exchange(other.bytes_, {})), owned_(std::exchange(other.owned_, nullptr)) {}

DatabaseImage& DatabaseImage::operator=(DatabaseImage&& other) noexcept {
    if (this != &other) {
        release();
        bytes_ = std::exchange(other.bytes_, {});
        owned_ = std::exchange(other.owned_, nullptr);
    }
    return *this;
}

void DatabaseImage::release() {
    if (owned_) {
        secure_wipe(owned_, bytes_.size());
        sqlite3_free(owned_);
    }
    owned_ = nullptr;
    bytes_ = {};
}

}  // namespace korvane

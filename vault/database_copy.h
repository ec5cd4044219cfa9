// SPDX-License-Identifier: GPL-3.0-or-later
// Whole copies of an open database: into another connection, into a plain file, or as the bytes
// of its file in memory. Each is one consistent snapshot of every page.
#pragma once

#include <QString>
#include <cstddef>
#include <string_view>

#include "vault/result.h"
#include "vault/sqlite_db.h"

namespace korvane {

// Copies every page of source into target (an empty database) with SQLite's backup API; what
// target's own connection writes, its VFS enciphers.
Status copy_database(SqliteDb& source, SqliteDb& target);

// The same into the existing, empty file at path, through a plain connection of its own that is
// closed again before this returns. A failure's error is SQLite's own words for it.
Status copy_database_to_file(SqliteDb& source, const QString& path);

// The bytes of a database's file as SQLite serialises them: those of a database held in memory
// read in place, or the library's copy of a file, which is wiped when the image is freed.
class DatabaseImage {
public:
    // A failure's error is SQLite's own words for it.
    static Result<DatabaseImage> of(SqliteDb& db);

    ~DatabaseImage();
    DatabaseImage(DatabaseImage&& other) noexcept;
    DatabaseImage& operator=(DatabaseImage&& other) noexcept;
    DatabaseImage(const DatabaseImage&) = delete;
    DatabaseImage& operator=(const DatabaseImage&) = delete;

    std::string_view bytes() const { return bytes_; }

private:
    DatabaseImage(std::string_view bytes, unsigned char* owned) : bytes_(bytes), owned_(owned) {}
    void release();

    std::string_view bytes_;
    unsigned char* owned_ = nullptr;  // the library's copy, null for bytes read in place
};

}  // namespace korvane

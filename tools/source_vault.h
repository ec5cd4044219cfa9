// SPDX-License-Identifier: GPL-3.0-or-later
// Reading another database-version vault (plain SQLite with tables userpass and type).
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vault/result.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane::tools {

class PrivateSourceCopy;

struct SourceVault {
    std::vector<VaultRecord> records;     // table order, NULL columns as empty texts
    std::vector<std::string> categories;  // table order, duplicates kept
};

// Another vault's rows, handed out one at a time so that a million of them are never held at
// once. open() makes every check read_source_vault makes, with the same messages.
class SourceVaultReader {
public:
    using RecordSink = std::function<Status(const RecordView&)>;
    using CategorySink = std::function<Status(std::string_view)>;
    // A way of handing every row to a sink, whether from this reader or from rows in memory.
    using RecordSource = std::function<Status(const RecordSink&)>;
    using CategorySource = std::function<Status(const CategorySink&)>;

    // target is the database the rows are going to be written to, if any. When path is that
    // same file, the rows are taken in whole at once and the file closed: reading a file while
    // writing it would hand out rows of the write half done.
    //
    // A source in WAL mode may still hold rows in its -wal file, which the read-only open
    // never looks at. Such a source is copied with its -wal into a private temporary folder,
    // the copy's WAL written into it, and the copy read instead; the copy is overwritten and
    // removed with the reader. A source whose -wal cannot be read that way is refused.
    static Result<SourceVaultReader> open(const QString& path, const SqliteDb* target = nullptr);

    SourceVaultReader(SourceVaultReader&& other) noexcept;
    SourceVaultReader& operator=(SourceVaultReader&& other) noexcept;
    ~SourceVaultReader();

    // Each record, then each category, in table order, NULL columns as empty texts; the views
    // last only for the call. A failed read is the same message read_source_vault gives; a
    // failure of the sink ends the reading and is passed on as it is.
    Status for_each_record(const RecordSink& sink);
    Status for_each_category(const CategorySink& sink);

private:
    explicit SourceVaultReader(QString path);

    QString path_;
    std::unique_ptr<PrivateSourceCopy> copy_;  // declared before db_, so it outlives the open file
    SqliteDb db_;                              // the open file, while streaming
    std::optional<SourceVault> whole_;         // the rows taken in at open(), for the target itself
};

// Opens path as an untrusted file (SqliteDb::open_untrusted), reads the schema's columns of
// both tables whole, by name, and closes it again, so the caller can then write its own vault
// even when both are the same file. A missing file, a file that is not SQLite (an encrypted
// user.dat), one without the two tables or their columns, one whose tables are views or
// virtual tables or hold generated or hidden columns, one not in UTF-8, or one holding a value
// over the length limit is an error saying so; nothing is read from it then. A source in WAL
// mode is read with the rows its -wal file holds, as open() reads it.
Result<SourceVault> read_source_vault(const QString& path);

}  // namespace korvane::tools

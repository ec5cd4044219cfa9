// SPDX-License-Identifier: GPL-3.0-or-later
#include "vault/enciphered_file.h"

#include <QFile>

#include "vault/atomic_file_writer.h"

namespace korvane {

Status write_enciphered_file(const QString& target, std::shared_ptr<EncipheredVfs> vfs,
                             const std::function<Status(SqliteDb&)>& fill) {
    AtomicFileWriter writer(target);
    if (Status opened = writer.open(); !opened) return opened;
    const QString journal = writer.temporary_path() + QStringLiteral("-journal");
    Status filled = Status::success();
    {
        Result<SqliteDb> db = SqliteDb::open_enciphered(writer.temporary_path(), std::move(vfs),
                                                        SqliteDb::Mode::ReadWrite);
        filled = db ? fill(*db) : Status(make_error(db.error()));
    }
    // Every commit deleted its journal; one is left only by a write that failed.
    QFile::remove(journal);
    if (!filled) {
        writer.discard();
        return filled;
    }
    return writer.commit();
}

}  // namespace korvane

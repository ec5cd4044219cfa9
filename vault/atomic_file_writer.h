// SPDX-License-Identifier: GPL-3.0-or-later
// AtomicFileWriter: writes a file under a temporary name beside its target, flushes it to disk
// and renames it into place, so a reader only ever sees the old file or the whole new one. A
// target that is a symbolic link stays one: the file at the end of its chain is replaced. A
// target that is there and is no regular file (a FIFO, a device, a socket, a folder) is never
// written to nor replaced.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string_view>

#include "vault/result.h"

namespace korvane {

class AtomicFileWriter {
public:
    // The file is created readable and writable by the owner only.
    explicit AtomicFileWriter(QString target_path);
    ~AtomicFileWriter();  // discards an uncommitted temporary file
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    Status open();
    Status write(const char* data, qint64 size);
    Status write(std::string_view bytes) { return write(bytes.data(), qint64(bytes.size())); }
    // Flushes to disk and renames over the target.
    Status commit();
    void discard();

    // The open temporary file, for writers that stream through a QIODevice.
    QIODevice& device() { return file_; }

    const QString& target_path() const { return target_path_; }
    const QString& temporary_path() const { return temp_path_; }

    // The file a path names once its chain of symbolic links is followed (the last one may
    // point at a file not there yet); the path itself when it is no link.
    static Result<QString> resolve_links(const QString& path);

    // Fails, naming what is there, when path (its links followed) exists and is no regular
    // file: a rename would put a plain file in the place of a FIFO's reader or a device. open()
    // and commit() ask it again, so a change after a caller's early check is still refused.
    static Status check_target(const QString& path);

    // Suffix of the temporary files, for cleaning up after a crash.
    static constexpr char kTempSuffix[] = ".part";

private:
    QString target_path_;
    QString final_path_;  // target_path_ with its links followed
    QString temp_path_;
    QFile file_;
};

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// Exact reads and native paths.
#include "vault/file_io.h"

#include <QDir>

namespace korvane {

bool read_fully(QIODevice& in, char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 got = in.read(data + done, size - done);
        if (got <= 0) return false;
        done += got;
    }
    return true;
}

QString native_path(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace korvane

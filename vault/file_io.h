// SPDX-License-Identifier: GPL-3.0-or-later
// Small file helpers every layer shares: exact reads and paths as the user writes them.
#pragma once

#include <QIODevice>
#include <QString>

namespace korvane {

// Reads exactly size bytes into data; false on an error or an early end of file, since a
// device may hand back fewer bytes than asked on any one read.
bool read_fully(QIODevice& in, char* data, qint64 size);

// The path with the platform's own separators, for messages the user reads.
QString native_path(const QString& path);

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: the fixed passwords and a scratch folder for file-based APIs.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace korvane::fuzz {

// Must match make_seeds.cpp so the enciphered seeds open under it. 17 bytes, as
// text::pad_master_password makes of a short typed password.
inline constexpr std::string_view kPaddedPassword = "fuzzyyyyyyyyyyyyy";
// The file tool takes the password as typed; 16 bytes is the shortest MARS key.
inline constexpr std::string_view kFilePassword = "fuzz-file-pass16";

// One folder per process, reused by every run: creating one per input would dominate the
// time spent per execution.
inline const QDir& scratch_dir() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/korvane-fuzz-XXXXXX"));
    if (!dir.isValid()) std::abort();
    static const QDir qdir(dir.path());
    return qdir;
}

inline QString write_scratch(const QString& name, const std::uint8_t* data, std::size_t size) {
    const QString path = scratch_dir().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::abort();
    }
    return path;
}

inline std::string_view as_view(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace korvane::fuzz

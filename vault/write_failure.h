// SPDX-License-Identifier: GPL-3.0-or-later
// The cause of a failed file operation in the user's words: the system's own texts are English
// (or, under a translated C library, in whatever encoding it was built for), so the user is told
// from errno in Chinese instead.
#pragma once

#include <QString>

class QIODevice;

namespace korvane {

// errno's meaning in Chinese; "系统错误 N" for a number without a text here. fallback (the
// library's own text) is given only when error_number is 0, i.e. when no system call failed.
QString system_error_text(int error_number, const QString& fallback = QString());

// Why the last operation on file failed. Call it straight after the failed call: errno is read
// then. errno is used only when it is the error the file recorded, so a value left over from an
// earlier call never names the wrong cause.
QString file_error_text(const QIODevice& file);

// error_number is errno as left by the failed call; fallback is the library's own text.
QString write_failure_reason(int error_number, const QString& fallback);

// True for the errors that mean no more room: a full disk, a quota, a file-size limit.
bool is_out_of_room(int error_number);

}  // namespace korvane

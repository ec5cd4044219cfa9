// SPDX-License-Identifier: GPL-3.0-or-later
// CSV export: every record of the vault as comma-separated GBK text, and writing it to a file.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "vault/result.h"
#include "vault/session_files.h"
#include "vault/sqlite_db.h"

namespace korvane::tools {

// What the dialog shows (caption "错误") instead of a file dialog when there is nothing to write.
inline const QString kNoRecordsToExport = QStringLiteral("没有记录可以导出");

// The header line's text, as GBK bytes (标题,用户名,密码,备注), without its line end.
inline constexpr std::string_view kCsvHeader =
    "\xb1\xea\xcc\xe2,\xd3\xc3\xbb\xa7\xc3\xfb,\xc3\xdc\xc2\xeb,\xb1\xb8\xd7\xa2";

// One field as written: the bytes unchanged, or an RFC 4180 quoted field (quotes doubled)
// when the value holds a comma, double quote, CR or LF.
std::string csv_field(std::string_view value);

// The whole file: the header and one line per record in table order, CR LF after each line,
// title, account, password and remark; the category is left out. Fails with
// kNoRecordsToExport when the vault holds no record. Reads only.
Result<std::string> build_csv(SqliteDb& db);

// What build_csv builds, written to path as the rows are read (through a temporary file, as
// write_csv), so the file never gathers in memory. Nothing replaces path when the vault holds no
// record (kNoRecordsToExport) or a read or a write fails.
Status export_csv(SqliteDb& db, const QString& path, const SessionFiles& session);

// Takes the bytes of an export in order; a failure ends the export with it.
using CsvSink = std::function<Status(std::string_view)>;

// The same bytes handed to sink in chunks as the rows are read, for an export to a pipe; the
// buffer they pass through is wiped at the end. Nothing reaches sink when the vault holds no
// record (kNoRecordsToExport); a read failing part way has handed on what came before it.
Status export_csv(SqliteDb& db, const CsvSink& sink);

// Replaces path with the bytes through a temporary file, readable by the owner only. A path
// that is one of session's own files is refused before anything is written.
Status write_csv(const QString& path, std::string_view csv_bytes, const SessionFiles& session);

}  // namespace korvane::tools

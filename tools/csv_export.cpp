// SPDX-License-Identifier: GPL-3.0-or-later
// CSV export: building the file's bytes from table userpass and writing them atomically.
#include "tools/csv_export.h"

#include "vault/atomic_file_writer.h"
#include "vault/secure_wipe.h"
#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// A write to the file each time this much is gathered.
constexpr std::size_t kChunkBytes = 256 * 1024;

// GBK trail bytes are 0x40 and above, so a byte-wise scan never mistakes half of a
// double-byte character for one of these.
bool needs_quotes(std::string_view value) {
    return value.find_first_of(std::string_view(",\"\r\n", 4)) != std::string_view::npos;
}

void append_field(std::string& out, std::string_view value) {
    if (!needs_quotes(value)) {
        out.append(value);
        return;
    }
    out.push_back('"');
    for (char c : value) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

// One record's line: title, account, password and remark; the category is left out.
void append_line(std::string& out, const VaultRecord& record) {
    append_field(out, record.title);
    out.push_back(',');
    append_field(out, record.account);
    out.push_back(',');
    append_field(out, record.password);
    out.push_back(',');
    append_field(out, record.remark);
    out.append(kLineEnd);
}

}  // namespace

std::string csv_field(std::string_view value) {
    std::string out;
    append_field(out, value);
    return out;
}

Result<std::string> build_csv(SqliteDb& db) {
    std::string out;
    out.append(kCsvHeader).append(kLineEnd);
    std::size_t rows = 0;
    Status read = statements::for_each_record(db, [&](const VaultRecord& record) {
        append_line(out, record);
        ++rows;
        return true;
    });
    if (!read) return make_error(QStringLiteral("导出失败：%1").arg(read.error()));
    if (rows == 0) return make_error(kNoRecordsToExport);
    return out;
}

Status export_csv(SqliteDb& db, const CsvSink& sink) {
    std::string chunk;
    chunk.reserve(kChunkBytes + kChunkBytes / 4);
    // The passwords pass through it.
    struct Wipe {
        std::string& chunk;
        ~Wipe() { secure_wipe(chunk); }
    } wipe{chunk};
    chunk.append(kCsvHeader).append(kLineEnd);
    std::size_t rows = 0;
    Status written = Status::success();
    Status read = statements::for_each_record(db, [&](const VaultRecord& record) {
        append_line(chunk, record);
        ++rows;
        if (chunk.size() < kChunkBytes) return true;
        written = sink(chunk);
        chunk.clear();
        return written.ok();
    });
    if (!read) return make_error(QStringLiteral("导出失败：%1").arg(read.error()));
    if (!written) return written;
    if (rows == 0) return make_error(kNoRecordsToExport);
    return sink(chunk);
}

Status export_csv(SqliteDb& db, const QString& path, const SessionFiles& session) {
    if (Status allowed = session.check_output(path); !allowed) return allowed;
    AtomicFileWriter writer(path);
    if (Status status = writer.open(); !status) return status;
    const Status exported =
        export_csv(db, [&writer](std::string_view bytes) { return writer.write(bytes); });
    if (!exported) return exported;
    return writer.commit();
}

Status write_csv(const QString& path, std::string_view csv_bytes, const SessionFiles& session) {
    if (Status allowed = session.check_output(path); !allowed) return allowed;
    AtomicFileWriter writer(path);
    if (Status status = writer.open(); !status) return status;
    if (Status status = writer.write(csv_bytes); !status) return status;
    return writer.commit();
}

}  // namespace korvane::tools

// CSV export: building the file's bytes from table userpass and writing them atomically.
#include "tools/csv_export.h"

#include "vault/atomic_file_writer.h"
#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

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

}  // namespace

std::string csv_field(std::string_view value) {
    std::string out;
    append_field(out, value);
    return out;
}

Result<std::string> build_csv(SqliteDb& db) {
    auto records = statements::all_records(db);
    if (!records) return make_error(QStringLiteral("导出失败：%1").arg(records.error()));
    if (records->empty()) return make_error(kNoRecordsToExport);

    std::size_t estimate = kCsvHeader.size() + kLineEnd.size();
    for (const VaultRecord& r : *records) {
        estimate += r.title.size() + r.account.size() + r.password.size() + r.remark.size() + 5;
    }
    std::string out;
    out.reserve(estimate);
    out.append(kCsvHeader).append(kLineEnd);
    for (const VaultRecord& r : *records) {
        append_field(out, r.title);
        out.push_back(',');
        append_field(out, r.account);
        out.push_back(',');
        append_field(out, r.password);
        out.push_back(',');
        append_field(out, r.remark);
        out.append(kLineEnd);
    }
    return out;
}

Status write_csv(const QString& path, std::string_view csv_bytes, const SessionFiles& session) {
    if (Status allowed = session.check_output(path); !allowed) return allowed;
    AtomicFileWriter writer(path);
    if (Status status = writer.open(); !status) return status;
    if (Status status = writer.write(csv_bytes); !status) return status;
    return writer.commit();
}

}  // namespace korvane::tools

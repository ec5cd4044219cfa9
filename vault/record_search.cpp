// SPDX-License-Identifier: GPL-3.0-or-later
// Record search: a byte prefilter inside SQLite, then a check of each candidate as decoded text.
#include "vault/record_search.h"

#include <sqlite3.h>

#include <algorithm>
#include <string_view>

#include "vault/text.h"

namespace korvane::search {
namespace {

// Registered on the connection by each search (the statement below names it), so that no other
// code path has to know about it.
constexpr char kPrefilterFunction[] = "korvane_folded_contains";

constexpr char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

constexpr unsigned char fold_byte(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

std::string folded_bytes(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) c = static_cast<char>(fold_byte(static_cast<unsigned char>(c)));
    return out;
}

// Byte search with A-Z folded; folded_needle is already folded. It ignores where GBK characters
// begin, so it finds a superset of the true matches: an ASCII letter inside a double-byte
// character (trail bytes run from 0x40), or a pair of bytes spanning two characters. Every GBK
// character glibc decodes encodes back to the same bytes, so no true match is ever missed.
bool folded_bytes_contain(std::string_view haystack, std::string_view folded_needle) {
    if (folded_needle.empty()) return true;
    if (folded_needle.size() > haystack.size()) return false;
    const auto first = static_cast<unsigned char>(folded_needle.front());
    const std::size_t last_start = haystack.size() - folded_needle.size();
    for (std::size_t start = 0; start <= last_start; ++start) {
        if (fold_byte(static_cast<unsigned char>(haystack[start])) != first) continue;
        std::size_t i = 1;
        while (i < folded_needle.size() &&
               fold_byte(static_cast<unsigned char>(haystack[start + i])) ==
                   static_cast<unsigned char>(folded_needle[i])) {
            ++i;
        }
        if (i == folded_needle.size()) return true;
    }
    return false;
}

std::string_view value_bytes(sqlite3_value* value) {
    // The blob accessor hands over a text value's stored bytes unconverted; the size must be
    // asked after it.
    const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
    const int size = sqlite3_value_bytes(value);
    return data ? std::string_view(data, std::size_t(size)) : std::string_view();
}

// LIKE cannot serve as the prefilter: it reads the GBK bytes as UTF-8, so any byte from 0xC0 up
// (a lead or a trail byte) swallows the bytes from 0x80 to 0xBF after it, and a character that
// starts with one of those is never found (好 in 你好); nor does it match a value stored as a blob.
void folded_contains_function(sqlite3_context* context, int, sqlite3_value** values) {
    sqlite3_result_int(context,
                       folded_bytes_contain(value_bytes(values[0]), value_bytes(values[1])));
}

Status register_prefilter(SqliteDb& db) {
    const int rc = sqlite3_create_function_v2(
        db.handle(), kPrefilterFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
        nullptr, &folded_contains_function, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return make_error(db.last_error());
    return Status::success();
}

Error failure(const QString& cause) {
    return make_error(QStringLiteral("搜索记录失败（%1）").arg(cause));
}

// The columns a search looks at, in the order of the statement: bt, name, bz.
constexpr int kSearchedColumns[] = {1, 2, 3};

bool candidate_matches(const SqliteStatement& row, std::string_view folded_needle,
                       const QString& text) {
    for (int column : kSearchedColumns) {
        const std::string_view bytes = row.column_view(column);
        if (folded_bytes_contain(bytes, folded_needle) && contains(text::from_gbk(bytes), text)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool contains(const QString& shown, const QString& text) {
    const auto same = [](QChar a, QChar b) { return fold(a.unicode()) == fold(b.unicode()); };
    return std::search(shown.begin(), shown.end(), text.begin(), text.end(), same) != shown.end();
}

Result<std::vector<RecordMatch>> find_records(SqliteDb& db, const QString& text) {
    std::vector<RecordMatch> found;
    Status searched = for_each_match(db, text, [&found](const RecordMatch& match) {
        found.push_back(match);
        return true;
    });
    if (!searched) return make_error(searched.error());
    return found;
}

Status for_each_match(SqliteDb& db, const QString& text,
                      const std::function<bool(const RecordMatch&)>& visit) {
    if (text.isEmpty()) return Status::success();
    Result<std::string> needle = text::to_gbk(text, QStringLiteral("搜索"));
    // Every stored field was GBK when it was written, so such a text is in none of them.
    if (!needle) return Status::success();
    const std::string folded_needle = folded_bytes(*needle);

    if (Status registered = register_prefilter(db); !registered) {
        return failure(registered.error());
    }
    Result<SqliteStatement> stmt = db.prepare(
        "select OID,bt,name,bz,type from userpass where korvane_folded_contains(bt,?1) or "
        "korvane_folded_contains(name,?1) or korvane_folded_contains(bz,?1)");
    if (!stmt) return failure(stmt.error());
    stmt->bind_text(1, folded_needle);
    RecordMatch match;
    while (stmt->step()) {
        if (!candidate_matches(*stmt, folded_needle, text)) continue;
        match.record.oid = stmt->column_int64(0);
        match.record.title.assign(stmt->column_view(1));
        match.record.account.assign(stmt->column_view(2));
        match.record.remark.assign(stmt->column_view(3));
        match.category.assign(stmt->column_view(4));
        if (!visit(match)) break;
    }
    if (stmt->failed()) return failure(stmt->error());
    return Status::success();
}

}  // namespace korvane::search

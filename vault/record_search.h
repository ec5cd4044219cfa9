// SPDX-License-Identifier: GPL-3.0-or-later
// Finding records by a text in their title, account or remark, for the window and the CLI alike.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "vault/result.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane {

// A found record with the category it is stored under (column type, as stored).
struct RecordMatch {
    RecordSummary record;
    std::string category;

    friend bool operator==(const RecordMatch&, const RecordMatch&) = default;
};

namespace search {

// Whether shown contains text: the Latin letters A-Z match either case, every other character
// (Chinese included) only itself.
bool contains(const QString& shown, const QString& text);

// Every record, in any category, whose title, account or remark contains text as contains()
// decides it; never the password. In table order. An empty text finds nothing, and so does a text
// no record could hold (a character GBK lacks).
Result<std::vector<RecordMatch>> find_records(SqliteDb& db, const QString& text);
// The same matches one at a time as they are found, for a caller that writes them out and keeps
// none; visit returns false to stop early.
Status for_each_match(SqliteDb& db, const QString& text,
                      const std::function<bool(const RecordMatch&)>& visit);

}  // namespace search
}  // namespace korvane

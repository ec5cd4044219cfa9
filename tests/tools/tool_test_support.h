// Helpers for the tool tests: a scratch vault, raw source databases, and an independent
// (Crypto++) writer and reader of the enciphered formats.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/raw_sqlite.h"
#include "vault/session_files.h"
#include "vault/sqlite_db.h"
#include "vault/vault_record.h"

namespace korvane::testing {

// A new vault database (create_schema, one master password row) in its own folder.
class ScratchVault {
public:
    ScratchVault();
    QString path() const { return path_; }
    QString file(const QString& name) const { return dir_.filePath(name); }
    SqliteDb& db() { return db_; }
    // The folder's own files, path() among them, as a session there would keep them.
    SessionFiles session() const { return SessionFiles(dir_.path()); }

    void add_record(const VaultRecord& record);
    void add_category(std::string_view name);
    // Read back through a connection of its own: bt, name, pass, bz, type in OID order.
    std::vector<test_support::RawRow> records();
    std::vector<std::string> categories();

private:
    QTemporaryDir dir_;
    QString path_;
    SqliteDb db_;
};

// A database-version vault written with plain sqlite3; NULL cells where a value is nullopt.
void write_source_vault(const QString& path, const std::vector<test_support::RawRow>& records,
                        const std::vector<std::string>& categories);

test_support::RawRow raw(const VaultRecord& record);

// Makes one named file step of the vault fail (see vault/fault_injection.h) while it lives.
class FailingStep {
public:
    explicit FailingStep(const char* point);
    ~FailingStep();
    FailingStep(const FailingStep&) = delete;
    FailingStep& operator=(const FailingStep&) = delete;
};

// True when the file's mode is exactly read and write for its owner.
bool is_owner_only(const QString& path);

// UTF-8 text as GBK bytes, converted by iconv.
std::string gbk(const char* utf8);

// MARS ECB with Crypto++ under the first floor(len / 4) * 4 key bytes; size a multiple of 16.
std::string reference_mars(std::string_view key, std::string_view data, bool encrypt);
std::string reference_md5(std::string_view bytes);

// Legacy vault files: N, the MD5 of password, then the body enciphered under password.
std::string seal_legacy(std::int32_t last_index, std::string_view password, std::string body);
// One 448-byte slot of the old file, each field followed by NUL fill.
std::string old_slot(std::string_view title, std::string_view account, std::string_view password,
                     std::string_view remark);
// The 134400-byte body of an old file: the given slots, then empty ones.
std::string old_body(const std::vector<std::string>& slot_list);
// One record of the new file's stream; `ignored` follows each field's NUL.
std::string new_record(std::string_view title, std::string_view remark, std::string_view account,
                       std::string_view password, char ignored = 'x');
// Zero bytes up to the next multiple of 16.
std::string pad_to_blocks(std::string bytes);

}  // namespace korvane::testing

// Scratch vaults, raw source databases and the Crypto++ reference for the tool tests.
#include "tool_test_support.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/mars.h>
#include <cryptopp/md5.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <QFile>
#include <filesystem>

#include "vault/fault_injection.h"
#include "vault/vault_statements.h"

namespace korvane::testing {

using test_support::RawRow;
using test_support::RawSqlite;

ScratchVault::ScratchVault() : path_(dir_.filePath("user.tmp")) {
    auto db = SqliteDb::open(path_);
    EXPECT_TRUE(db.ok());
    if (!db) return;
    db_ = std::move(*db);
    EXPECT_TRUE(statements::create_schema(db_).ok());
    EXPECT_TRUE(statements::insert_master_password(db_, "masterpasswordyyy").ok());
}

void ScratchVault::add_record(const VaultRecord& record) {
    EXPECT_TRUE(statements::insert_record(db_, record).ok());
}

void ScratchVault::add_category(std::string_view name) {
    EXPECT_TRUE(statements::insert_category(db_, name).ok());
}

std::vector<RawRow> ScratchVault::records() {
    return RawSqlite(path_).rows("select bt,name,pass,bz,type from userpass order by OID");
}

std::vector<std::string> ScratchVault::categories() {
    std::vector<std::string> names;
    for (const RawRow& row : RawSqlite(path_).rows("select leibie from type order by OID")) {
        names.push_back(row[0].value_or("<NULL>"));
    }
    return names;
}

void write_source_vault(const QString& path, const std::vector<RawRow>& records,
                        const std::vector<std::string>& categories) {
    RawSqlite db(path);
    db.exec(
        "CREATE TABLE userad(pass TEXT); CREATE TABLE type(leibie TEXT);"
        "CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"
        "INSERT INTO userad VALUES('sourcepasswordyy')");
    for (const RawRow& row : records) {
        std::string sql = "INSERT INTO userpass VALUES(";
        std::vector<std::string> params;
        for (std::size_t i = 0; i < row.size(); ++i) {
            sql += i ? "," : "";
            if (row[i]) {
                sql += "?";
                params.push_back(*row[i]);
            } else {
                sql += "NULL";
            }
        }
        db.rows(sql + ")", params);
    }
    for (const std::string& name : categories) db.rows("INSERT INTO type VALUES(?)", {name});
}

namespace {
const char* g_failing_point = nullptr;
bool fail_at(const char* point) { return g_failing_point && std::string(point) == g_failing_point; }
}  // namespace

FailingStep::FailingStep(const char* point) {
    g_failing_point = point;
    fault::set_hook(fail_at);
}

FailingStep::~FailingStep() { g_failing_point = nullptr; }

bool is_owner_only(const QString& path) {
    namespace fs = std::filesystem;
    const fs::perms perms = fs::status(QFile::encodeName(path).toStdString()).permissions();
    return perms == (fs::perms::owner_read | fs::perms::owner_write);
}

RawRow raw(const VaultRecord& r) { return {r.title, r.account, r.password, r.remark, r.category}; }

std::string gbk(const char* utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    std::size_t in_left = in.size(), out_left = out.size();
    const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    EXPECT_NE(rc, std::size_t(-1)) << "iconv failed on " << utf8;
    out.resize(out.size() - out_left);
    return out;
}

std::string reference_mars(std::string_view key, std::string_view data, bool encrypt) {
    EXPECT_EQ(data.size() % 16, 0u);
    const auto* key_bytes = reinterpret_cast<const CryptoPP::byte*>(key.data());
    const unsigned key_length = unsigned(key.size() / 4 * 4);
    CryptoPP::MARS::Encryption enc;
    CryptoPP::MARS::Decryption dec;
    enc.UncheckedSetKey(key_bytes, key_length, CryptoPP::g_nullNameValuePairs);
    dec.UncheckedSetKey(key_bytes, key_length, CryptoPP::g_nullNameValuePairs);
    std::string out(data);
    auto* bytes = reinterpret_cast<CryptoPP::byte*>(out.data());
    for (std::size_t i = 0; i + 16 <= out.size(); i += 16) {
        if (encrypt) {
            enc.ProcessBlock(bytes + i);
        } else {
            dec.ProcessBlock(bytes + i);
        }
    }
    return out;
}

std::string reference_md5(std::string_view bytes) {
    CryptoPP::Weak::MD5 md5;
    std::string digest(16, '\0');
    md5.CalculateDigest(reinterpret_cast<CryptoPP::byte*>(digest.data()),
                        reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size());
    return digest;
}

std::string seal_legacy(std::int32_t last_index, std::string_view password, std::string body) {
    std::string file(4, '\0');
    const auto n = std::uint32_t(last_index);
    for (int i = 0; i < 4; ++i) file[std::size_t(i)] = char(n >> (8 * i));
    file += reference_md5(password);
    return file + reference_mars(password, body, true);
}

std::string old_slot(std::string_view title, std::string_view account, std::string_view password,
                     std::string_view remark) {
    std::string slot(448, '\0');
    slot.replace(0, title.size(), title);
    slot.replace(64, account.size(), account);
    slot.replace(128, password.size(), password);
    slot.replace(192, remark.size(), remark);
    return slot;
}

std::string old_body(const std::vector<std::string>& slot_list) {
    std::string body;
    for (const std::string& slot : slot_list) body += slot;
    body.resize(300 * 448, '\0');
    return body;
}

std::string new_record(std::string_view title, std::string_view remark, std::string_view account,
                       std::string_view password, char ignored) {
    std::string out;
    for (std::string_view field : {title, remark, account, password}) {
        out.append(field);
        out.push_back('\0');
        out.push_back(ignored);
    }
    return out;
}

std::string pad_to_blocks(std::string bytes) {
    bytes.resize((bytes.size() + 15) / 16 * 16, '\0');
    return bytes;
}

}  // namespace korvane::testing

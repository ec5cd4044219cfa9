// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile text in every field of every statement path: stored and read back byte for byte,
// also after the session has locked the vault to user.dat and unlocked it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "support/hostile_values.h"
#include "support/session_vault.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane::statements {
namespace {

using test_support::HostileValue;
using test_support::RecordField;
using test_support::SessionVault;

const std::string kPassword = text::pad_master_password("secret");
const std::string kPlain = "plain";

VaultRecord base(const std::string& tag, const std::string& type) {
    return VaultRecord{"bt-" + tag, "name-" + tag, "pass-" + tag, "bz-" + tag, type};
}

// What the vault should hold, and every read that must show it.
struct Expected {
    std::vector<std::pair<RecordId, VaultRecord>> records;
    std::vector<std::string> categories;
    std::vector<std::pair<RecordId, VaultRecord>> deleted;

    std::vector<RecordSummary> rows_where(
        const std::function<bool(const VaultRecord&)>& keep) const {
        std::vector<RecordSummary> rows;
        for (const auto& [oid, r] : records) {
            if (keep(r)) rows.push_back({oid, r.title, r.account, r.remark});
        }
        return rows;
    }
    bool is_category(const std::string& type) const {
        return std::find(categories.begin(), categories.end(), type) != categories.end();
    }
};

void expect_reads(SqliteDb& db, const Expected& expected) {
    std::vector<VaultRecord> all;
    for (const auto& [oid, r] : expected.records) {
        all.push_back(r);
        auto loaded = load_record(db, oid);
        ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
        EXPECT_EQ(*loaded, r) << "record " << oid;
        auto password = record_password(db, oid);
        ASSERT_TRUE(password.ok());
        EXPECT_EQ(*password, r.password);
        auto exists = record_exists(db, r);
        ASSERT_TRUE(exists.ok());
        EXPECT_TRUE(*exists) << "record " << oid << " not found by its own fields";
    }
    auto records = all_records(db);
    ASSERT_TRUE(records.ok());
    EXPECT_EQ(*records, all);
    for (const auto& [oid, r] : expected.deleted) {
        auto loaded = load_record(db, oid);
        ASSERT_TRUE(loaded.ok());
        EXPECT_FALSE(loaded->has_value()) << "deleted record " << oid << " is back";
        auto exists = record_exists(db, r);
        ASSERT_TRUE(exists.ok());
        EXPECT_FALSE(*exists) << "deleted record " << oid << " still found by its fields";
    }
    auto categories = list_categories(db);
    ASSERT_TRUE(categories.ok());
    EXPECT_EQ(*categories, expected.categories);
    for (const std::string& category : expected.categories) {
        auto exists = category_exists(db, category);
        ASSERT_TRUE(exists.ok());
        EXPECT_TRUE(*exists);
        auto rows = list_records_of_category(db, category);
        ASSERT_TRUE(rows.ok());
        EXPECT_EQ(*rows, expected.rows_where([&](const VaultRecord& r) {
            return r.category == category;
        })) << "category view";
    }
    auto root = list_root_records(db);
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(*root, expected.rows_where([&](const VaultRecord& r) {
        return !expected.is_category(r.category);
    })) << "root view";
}

std::string value_name(const HostileValue& value) { return value.name; }

class HostileRecordFieldTest
    : public ::testing::TestWithParam<std::tuple<HostileValue, RecordField>> {
protected:
    const std::string& value() const { return std::get<0>(GetParam()).bytes; }
    const RecordField& field() const { return std::get<1>(GetParam()); }
    bool is_category() const { return field().member == &VaultRecord::category; }

    SessionVault vault_{kPassword};
};

TEST_P(HostileRecordFieldTest, EveryWritingStatementKeepsItThroughALockCycle) {
    auto doc = vault_.unlock(kPassword);
    ASSERT_TRUE(doc);
    SqliteDb& db = doc->db();
    Expected expected;
    auto add_category = [&](const std::string& name) {
        ASSERT_TRUE(insert_category(db, name).ok());
        expected.categories.push_back(name);
    };
    auto insert = [&](const VaultRecord& r) {
        auto oid = insert_record(db, r);
        EXPECT_TRUE(oid.ok()) << oid.error().toStdString();
        return oid.ok() ? *oid : RecordId(0);
    };
    add_category(kPlain);
    if (is_category()) add_category(value());

    const VaultRecord inserted = with_field(base("ins", kPlain), field(), value());
    expected.records.emplace_back(insert(inserted), inserted);

    const VaultRecord updated = with_field(base("upd", kRootCategory), field(), value());
    const RecordId updated_oid = insert(base("upd", kRootCategory));
    ASSERT_TRUE(update_record(db, updated_oid, updated).ok());
    expected.records.emplace_back(updated_oid, updated);

    // Moved from the root into the hostile category, or carrying the value into "plain".
    VaultRecord moved = with_field(base("mov", kRootCategory), field(), value());
    moved.category = kRootCategory;
    const RecordId moved_oid = insert(moved);
    moved.category = is_category() ? value() : kPlain;
    ASSERT_TRUE(move_record(db, moved_oid, moved.category).ok());
    expected.records.emplace_back(moved_oid, moved);

    const VaultRecord root = base("root", kRootCategory);
    expected.records.emplace_back(insert(root), root);

    // Last, so no later insert takes its row id again.
    const VaultRecord deleted = with_field(base("del", kPlain), field(), value());
    const RecordId deleted_oid = insert(deleted);
    ASSERT_TRUE(delete_record(db, deleted_oid).ok());
    expected.deleted.emplace_back(deleted_oid, deleted);

    {
        SCOPED_TRACE("before locking");
        expect_reads(db, expected);
    }
    doc = vault_.relock(std::move(doc), kPassword);
    ASSERT_TRUE(doc);
    SCOPED_TRACE("after unlocking again");
    expect_reads(doc->db(), expected);
}

INSTANTIATE_TEST_SUITE_P(ValuesByField, HostileRecordFieldTest,
                         ::testing::Combine(::testing::ValuesIn(test_support::hostile_values()),
                                            ::testing::ValuesIn(test_support::record_fields())),
                         [](const auto& info) {
                             return value_name(std::get<0>(info.param)) + "_" +
                                    std::get<1>(info.param).name;
                         });

class HostileCategoryNameTest : public ::testing::TestWithParam<HostileValue> {
protected:
    SessionVault vault_{kPassword};
};

// A category one byte longer sits next to the hostile one, so a delete that matched loosely
// (or a truncated bind) would take it too.
TEST_P(HostileCategoryNameTest, CreateListAndDeleteKeepTheNameAndItsNeighbours) {
    const std::string name = GetParam().bytes;
    const std::string neighbour = name + "'";
    auto doc = vault_.unlock(kPassword);
    ASSERT_TRUE(doc);
    Expected expected;
    for (const std::string& category : {kPlain, name, neighbour}) {
        ASSERT_TRUE(insert_category(doc->db(), category).ok());
        expected.categories.push_back(category);
    }
    const VaultRecord filed = base("filed", name), next = base("next", neighbour);
    for (const VaultRecord& r : {filed, next}) {
        auto oid = insert_record(doc->db(), r);
        ASSERT_TRUE(oid.ok());
        expected.records.emplace_back(*oid, r);
    }
    doc = vault_.relock(std::move(doc), kPassword);
    ASSERT_TRUE(doc);
    {
        SCOPED_TRACE("created");
        expect_reads(doc->db(), expected);
    }

    ASSERT_TRUE(delete_category(doc->db(), name).ok());
    expected.categories = {kPlain, neighbour};
    doc = vault_.relock(std::move(doc), kPassword);
    ASSERT_TRUE(doc);
    SCOPED_TRACE("deleted");
    auto gone = category_exists(doc->db(), name);
    ASSERT_TRUE(gone.ok());
    EXPECT_FALSE(*gone);
    // The filed record keeps its type text and shows in the root view now.
    expect_reads(doc->db(), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, HostileCategoryNameTest,
                         ::testing::ValuesIn(test_support::hostile_values()),
                         [](const auto& info) { return value_name(info.param); });

// Master passwords as the session receives them (already padded): within 16 to 59 bytes each
// becomes the key and the stored row; outside, the change is refused and nothing moves.
struct MasterPassword {
    const char* name;
    std::string padded;
};

std::string repeated(std::string_view unit, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += unit;
    return out;
}

const std::string kZhong = "\xd6\xd0";  // 中

const std::vector<MasterPassword> kUsablePasswords = {
    {"EmptyTypedIsPadded", text::pad_master_password("")},
    {"QuotesAndDirectives", text::pad_master_password("'\"%s%d%1%n")},
    {"SixteenBytesExactly", "%s%s%s%s'\"'\"\\\\--"},
    {"SqlText", "x'); DROP TABLE userad; --"},
    // 59 bytes: one more character would make 61.
    {"GbkAtFiftyNineBytes", "'" + repeated(kZhong, 29)},
    // 17 bytes: the key takes whole words only, so the last character is cut in two.
    {"GbkStraddlingAWord", "\"" + repeated(kZhong, 8)},
    {"InvalidGbkBytes", "\xff\x81\x7f\x81 \xfe\xff\x80\xa1\xa1\xa6\xd9\xaa\xa1\xf8\xa1\x81"},
};

class MasterPasswordTest : public ::testing::TestWithParam<MasterPassword> {
protected:
    SessionVault vault_{kPassword};
};

TEST_P(MasterPasswordTest, ChangedPasswordIsStoredExactlyAndUnlocksTheVault) {
    const std::string& password = GetParam().padded;
    ASSERT_GE(password.size(), 16u);
    ASSERT_LE(password.size(), 59u);
    auto doc = vault_.unlock(kPassword);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(insert_record(doc->db(), base("kept", kPlain)).ok());
    Status changed = doc->change_master_password(password);
    ASSERT_TRUE(changed.ok()) << changed.error().toStdString();
    EXPECT_EQ(doc->master_password(), password);

    doc = vault_.relock(std::move(doc), password);
    ASSERT_TRUE(doc);
    auto stored = read_master_password(doc->db());
    ASSERT_TRUE(stored.ok());
    EXPECT_EQ(*stored, password);
    auto records = all_records(doc->db());
    ASSERT_TRUE(records.ok());
    EXPECT_EQ(*records, std::vector<VaultRecord>{base("kept", kPlain)});
    doc->lock();
    doc.reset();
    EXPECT_EQ(vault_.try_unlock(kPassword), StartOutcome::WrongPassword);
}

INSTANTIATE_TEST_SUITE_P(Usable, MasterPasswordTest, ::testing::ValuesIn(kUsablePasswords),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MasterPasswordRangeTest, OutOfRangePasswordsAreRefusedAndTheOldOneStillOpens) {
    SessionVault vault(kPassword);
    const std::string sixty = repeated(kZhong, 30);
    const std::vector<std::string> refused = {
        "",    std::string(15, '\''), "'" + std::string(59, '%'),
        sixty, sixty + "'",           test_support::gbk_text_of_64_kib(),
    };
    for (const std::string& password : refused) {
        SCOPED_TRACE(password.size());
        auto doc = vault.unlock(kPassword);
        ASSERT_TRUE(doc);
        Status changed = doc->change_master_password(password);
        ASSERT_FALSE(changed.ok());
        // The message names the limit on the side the password misses.
        const QString limit = password.size() < 16 ? QStringLiteral("太短（至少 16 个字节）")
                                                   : QStringLiteral("太长（最多 59 个字节）");
        EXPECT_TRUE(changed.error().contains(limit)) << changed.error().toStdString();
        EXPECT_EQ(doc->master_password(), kPassword);
        auto stored = read_master_password(doc->db());
        ASSERT_TRUE(stored.ok());
        EXPECT_EQ(*stored, kPassword);
        doc->lock();
    }
    auto doc = vault.unlock(kPassword);
    ASSERT_TRUE(doc);
    auto stored = read_master_password(doc->db());
    ASSERT_TRUE(stored.ok());
    EXPECT_EQ(*stored, kPassword);
}

// The folder's path goes into file names the session builds as text, placeholders included.
TEST(HostileVaultFolderTest, FolderNamesWithDirectivesAndQuotesLockAndUnlock) {
    for (const char* folder : {"%1%2%3", "50%2off %d %s %n 'it''s' \"q\" \\", "密码库 %1"}) {
        SCOPED_TRACE(folder);
        SessionVault vault(kPassword, QString::fromUtf8(folder));
        auto doc = vault.unlock(kPassword);
        ASSERT_TRUE(doc);
        ASSERT_TRUE(insert_record(doc->db(), base("kept", kPlain)).ok());
        doc = vault.relock(std::move(doc), kPassword);
        ASSERT_TRUE(doc);
        auto records = all_records(doc->db());
        ASSERT_TRUE(records.ok());
        EXPECT_EQ(*records, std::vector<VaultRecord>{base("kept", kPlain)});
    }
}

// The editor shows stored bytes as text and, for a field the user changed, saves the text
// again: GBK bytes must come back unchanged from that round trip, and bytes that are no GBK
// (shown as U+FFFD) are refused on saving, with the field named, instead of being replaced.
class HostileTextRoundTripTest : public ::testing::TestWithParam<HostileValue> {};

TEST_P(HostileTextRoundTripTest, ShownTextSavesBackToTheSameBytesOrIsRefused) {
    const std::string& bytes = GetParam().bytes;
    const QString shown = text::from_gbk(bytes);
    auto saved = text::to_gbk(shown, QStringLiteral("备注"));
    if (test_support::iconv_accepts_gbk(bytes)) {
        ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
        EXPECT_TRUE(*saved == bytes) << "bytes changed on the way through the dialog";
    } else {
        EXPECT_TRUE(shown.contains(QChar(0xFFFD)));
        ASSERT_FALSE(saved.ok());
        EXPECT_TRUE(saved.error().contains(QStringLiteral("备注")));
    }
}

INSTANTIATE_TEST_SUITE_P(Values, HostileTextRoundTripTest,
                         ::testing::ValuesIn(test_support::hostile_values()),
                         [](const auto& info) { return value_name(info.param); });

}  // namespace
}  // namespace korvane::statements

// SPDX-License-Identifier: GPL-3.0-or-later
// Import and synchronisation sources carrying hostile text: every value lands in the vault byte
// for byte, and stays so after the session has locked the vault and unlocked it again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/legacy_files.h"
#include "support/scratch_vault.h"
#include "support/session_vault.h"
#include "tools/database_import.h"
#include "tools/database_sync.h"
#include "tools/file_crypt.h"
#include "tools/legacy_import.h"
#include "tools/source_vault.h"
#include "vault/text.h"
#include "vault/vault_statements.h"

namespace korvane::tools {
namespace {

using namespace korvane::test_support;
using test_support::RawRow;

const std::string kPassword = text::pad_master_password("secret");
const std::string kLegacyPassword = text::pad_master_password("o'ld%s");

VaultRecord base(const std::string& tag) {
    return VaultRecord{"bt-" + tag, "name-" + tag, "pass-" + tag, "bz-" + tag, "type-" + tag};
}

// One record per field carrying the value, then one carrying it in all of them.
std::vector<VaultRecord> carriers(const std::string& value) {
    std::vector<VaultRecord> out;
    for (const RecordField& field : record_fields()) {
        out.push_back(with_field(base(field.name), field, value));
    }
    out.push_back(VaultRecord{value, value, value, value, value});
    return out;
}

// Legacy files have no category; their records arrive with an empty one.
std::vector<VaultRecord> without_category(std::vector<VaultRecord> records) {
    for (VaultRecord& r : records) r.category.clear();
    return records;
}

std::vector<RawRow> raw_rows(const std::vector<VaultRecord>& records) {
    std::vector<RawRow> rows;
    for (const VaultRecord& r : records) rows.push_back(raw(r));
    return rows;
}

class HostileSourceTest : public ::testing::TestWithParam<HostileValue> {
protected:
    const std::string& value() const { return GetParam().bytes; }

    QString source_file(const char* name) const { return sources_.filePath(name); }

    LegacyImportResult import_legacy(VaultSession& session, const std::string& bytes,
                                     LegacyFormat format) {
        const QString path = source_file("legacy.dat");
        write_file(path, bytes);
        auto file = LegacyVaultFile::open(path, format);
        if (!file) return {LegacyImportOutcome::Failed, 0, file.error()};
        return import_legacy_file(session.db(), *file, kLegacyPassword);
    }

    // The vault's rows now, and again after a lock and unlock through the session.
    void expect_vault(std::unique_ptr<VaultSession> session,
                      const std::vector<VaultRecord>& records,
                      const std::vector<std::string>& categories) {
        for (const char* when : {"before locking", "after unlocking again"}) {
            SCOPED_TRACE(when);
            if (std::string_view(when) != "before locking") {
                session = vault_.relock(std::move(session), kPassword);
            }
            ASSERT_TRUE(session);
            auto stored = statements::all_records(session->db());
            ASSERT_TRUE(stored.ok()) << stored.error().toStdString();
            EXPECT_EQ(*stored, records);
            auto stored_categories = statements::list_categories(session->db());
            ASSERT_TRUE(stored_categories.ok());
            EXPECT_EQ(*stored_categories, categories);
        }
    }

    SessionVault vault_{kPassword};
    QTemporaryDir sources_;
};

// The byte after each NUL is a GBK lead byte: a parser that kept it would corrupt the next field.
TEST_P(HostileSourceTest, NewLegacyFileBringsEveryFieldExactly) {
    const std::vector<VaultRecord> records = without_category(carriers(value()));
    std::string stream;
    for (const VaultRecord& r : records)
        stream += new_record(r.title, r.remark, r.account, r.password, '\xa1');
    auto session = vault_.unlock(kPassword);
    ASSERT_TRUE(session);
    LegacyImportResult result = import_legacy(
        *session, seal_legacy(int(records.size()) - 1, kLegacyPassword, pad_to_blocks(stream)),
        LegacyFormat::New);
    ASSERT_EQ(result.outcome, LegacyImportOutcome::Imported) << result.message.toStdString();
    EXPECT_EQ(result.imported, int(records.size()));
    expect_vault(std::move(session), records, {});
}

// The old file's slots hold 63 bytes (the remark 255) before the NUL: longer values are cut to
// that many bytes, in the middle of a character where the cut falls there, and kept as cut.
TEST_P(HostileSourceTest, OldLegacyFileBringsWhatFitsInItsSlotsExactly) {
    auto fit = [](const std::string& v, std::size_t slot) { return v.substr(0, slot - 1); };
    std::vector<VaultRecord> records;
    std::vector<std::string> slot_list;
    for (const VaultRecord& r : without_category(carriers(value()))) {
        records.push_back({fit(r.title, legacy::kTitleSize), fit(r.account, legacy::kAccountSize),
                           fit(r.password, legacy::kPasswordSize),
                           fit(r.remark, legacy::kRemarkSize), ""});
        const VaultRecord& cut = records.back();
        slot_list.push_back(old_slot(cut.title, cut.account, cut.password, cut.remark));
    }
    auto session = vault_.unlock(kPassword);
    ASSERT_TRUE(session);
    LegacyImportResult result = import_legacy(
        *session, seal_legacy(int(records.size()) - 1, kLegacyPassword, old_body(slot_list)),
        LegacyFormat::Old);
    ASSERT_EQ(result.outcome, LegacyImportOutcome::Imported) << result.message.toStdString();
    expect_vault(std::move(session), records, {});
}

TEST_P(HostileSourceTest, DatabaseImportBringsRecordsAndCategoriesExactly) {
    const std::vector<VaultRecord> records = carriers(value());
    const std::vector<std::string> categories = {value(), "plain", value()};
    const QString path = source_file("source.db");
    write_source_vault(path, raw_rows(records), categories);
    const std::string source_before = read_file(path);
    auto session = vault_.unlock(kPassword);
    ASSERT_TRUE(session);
    auto counts = import_database(session->db(), path);
    ASSERT_TRUE(counts.ok()) << counts.error().toStdString();
    EXPECT_EQ(counts->records, int(records.size()));
    EXPECT_EQ(counts->categories, 3);
    EXPECT_EQ(read_file(path), source_before);
    expect_vault(std::move(session), records, categories);
}

// Synchronisation only reads its source. What the vault already holds is skipped only when
// equal byte for byte: a near miss one quote longer is a different record and category.
TEST_P(HostileSourceTest, SyncAddsByExactBytesAndLeavesTheSourceAlone) {
    const std::vector<VaultRecord> records = carriers(value());
    VaultRecord near_miss = records.front();
    near_miss.title += "'";
    std::vector<VaultRecord> source_records = records;
    source_records.push_back(near_miss);
    source_records.push_back(records.back());  // repeated in the source: added once
    const QString path = source_file("source.db");
    write_source_vault(path, raw_rows(source_records), {value(), value() + "'", value()});
    const std::string source_before = read_file(path);

    auto session = vault_.unlock(kPassword);
    ASSERT_TRUE(session);
    ASSERT_TRUE(statements::insert_record(session->db(), records.front()).ok());
    ASSERT_TRUE(statements::insert_category(session->db(), value()).ok());
    for (int round = 0; round < 2; ++round) {
        auto counts = sync_database(session->db(), path);
        ASSERT_TRUE(counts.ok()) << counts.error().toStdString();
        EXPECT_EQ(counts->records, round == 0 ? int(records.size()) : 0) << "round " << round;
        EXPECT_EQ(counts->categories, round == 0 ? 1 : 0) << "round " << round;
    }
    EXPECT_EQ(read_file(path), source_before);
    std::vector<VaultRecord> expected = records;
    expected.push_back(near_miss);
    expect_vault(std::move(session), expected, {value(), value() + "'"});
}

INSTANTIATE_TEST_SUITE_P(Values, HostileSourceTest, ::testing::ValuesIn(hostile_values()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::tools

namespace korvane::tools {
namespace {

template <typename T>
Status status_of(const Result<T>& result) {
    return result ? Status::success() : Status(make_error(result.error()));
}

// A FIFO or a device chosen as a source would block the reader (or never end) while the vault
// is unlocked. Each reader runs in a child under an alarm, so a reader that opens one fails the
// test instead of hanging the suite.
TEST(SourceFileKindTest, EveryReaderRefusesWhatIsNoRegularFileAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const SessionFiles session(dir.filePath("vault"));
    const std::string key(16, 'k');
    const std::vector<std::pair<const char*, std::function<Status(const QString&)>>> readers = {
        {"old legacy file",
         [](const QString& p) { return status_of(LegacyVaultFile::open(p, LegacyFormat::Old)); }},
        {"new legacy file",
         [](const QString& p) { return status_of(LegacyVaultFile::open(p, LegacyFormat::New)); }},
        {"database source", [](const QString& p) { return status_of(read_source_vault(p)); }},
        {"file to encipher",
         [&](const QString& p) { return encrypt_file(p, dir.filePath("out.enc"), key, session); }},
        {"file to decipher",
         [&](const QString& p) { return decrypt_file(p, dir.filePath("out"), key, session); }},
    };
    for (const auto& [name, read] : readers) {
        for (const QString& source : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
            SCOPED_TRACE(std::string(name) + " on " + source.toStdString());
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::alarm(10);
                const Status status = read(source);
                ::_exit(!status.ok() && !QFileInfo::exists(dir.filePath("out.enc")) &&
                                !QFileInfo::exists(dir.filePath("out"))
                            ? 0
                            : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status)) << "the reader hung or crashed";
            EXPECT_EQ(WEXITSTATUS(status), 0) << "the reader did not refuse";
        }
    }
}

}  // namespace
}  // namespace korvane::tools

// SPDX-License-Identifier: GPL-3.0-or-later
// Legacy vault files written by an independent Crypto++ writer: records, padding of the
// password, wrong passwords, and files outside the format refused with nothing inserted.
#include "tools/legacy_import.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "support/file_helpers.h"
#include "support/hostile_values.h"
#include "support/legacy_files.h"
#include "support/reference_cipher.h"
#include "support/scratch_vault.h"
#include "vault/text.h"

namespace korvane::tools {
namespace {

using namespace korvane::test_support;
using test_support::RawRow;

const std::string kPassword = text::pad_master_password("abc");  // abc + 14 "y"

class LegacyImportTest : public ::testing::Test {
protected:
    // Writes the file, then runs every step a dialog runs.
    LegacyImportResult import(const std::string& bytes, LegacyFormat format,
                              const std::string& password = kPassword) {
        const QString path = vault_.file("legacy.dat");
        write_file(path, bytes);
        auto file = LegacyVaultFile::open(path, format);
        if (!file) return {LegacyImportOutcome::Failed, 0, file.error()};
        return import_legacy_file(vault_.db(), *file, password);
    }

    // A refused file: a message, and the vault as it was. A damaged file is not said to be of
    // the other format, even where it would read loosely as one.
    void expect_refused(const std::string& bytes, LegacyFormat format, const char* why) {
        SCOPED_TRACE(why);
        LegacyImportResult result = import(bytes, format);
        EXPECT_EQ(result.outcome, LegacyImportOutcome::Failed);
        EXPECT_FALSE(result.message.isEmpty());
        EXPECT_FALSE(result.message.contains(QStringLiteral("看起来是")))
            << result.message.toStdString();
        EXPECT_TRUE(vault_.records().empty());
    }

    ScratchVault vault_;
};

TEST_F(LegacyImportTest, OldFileImportsRecordsZeroToNWithEmptyCategory) {
    const std::string body =
        old_body({old_slot("t0", "a0", "p0", "r0"), old_slot("t1", "", "p1", ""),
                  old_slot(gbk("标题"), "a2", "p2", gbk("多行\r\n备注")),
                  old_slot("beyond N", "x", "x", "x")});
    const std::string file = seal_legacy(2, kPassword, body);
    ASSERT_EQ(file.size(), 134420u);

    LegacyImportResult result = import(file, LegacyFormat::Old);
    ASSERT_EQ(result.outcome, LegacyImportOutcome::Imported) << result.message.toStdString();
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(vault_.records(),
              (std::vector<RawRow>{{"t0", "a0", "p0", "r0", ""},
                                   {"t1", "", "p1", "", ""},
                                   {gbk("标题"), "a2", "p2", gbk("多行\r\n备注"), ""}}));
}

TEST_F(LegacyImportTest, OldFileKeepsFullLengthFieldsAndNegativeNImportsNothing) {
    const std::string title(63, 'T'), account(63, 'A'), password(63, 'P'), remark(255, 'R');
    LegacyImportResult full =
        import(seal_legacy(0, kPassword, old_body({old_slot(title, account, password, remark)})),
               LegacyFormat::Old);
    ASSERT_EQ(full.outcome, LegacyImportOutcome::Imported) << full.message.toStdString();
    EXPECT_EQ(vault_.records(), (std::vector<RawRow>{{title, account, password, remark, ""}}));

    LegacyImportResult none = import(
        seal_legacy(-1, kPassword, old_body({old_slot("t", "a", "p", "r")})), LegacyFormat::Old);
    EXPECT_EQ(none.outcome, LegacyImportOutcome::Imported);
    EXPECT_EQ(none.imported, 0);
    EXPECT_EQ(vault_.records().size(), 1u);
}

TEST_F(LegacyImportTest, NewFileStreamOrderEmptyFieldsAndIgnoredBytes) {
    const std::string stream = new_record("A", "B", "C", "D") + new_record("", "", "", "", '\0') +
                               new_record(gbk("长标题"), "remark", "acc", "pw", '\xff');
    ASSERT_EQ(stream.substr(0, 12), std::string("A\0xB\0xC\0xD\0x", 12));
    const std::string file = seal_legacy(2, kPassword, pad_to_blocks(stream + "trailing junk"));

    LegacyImportResult result = import(file, LegacyFormat::New);
    ASSERT_EQ(result.outcome, LegacyImportOutcome::Imported) << result.message.toStdString();
    EXPECT_EQ(vault_.records(), (std::vector<RawRow>{{"A", "C", "D", "B", ""},
                                                     {"", "", "", "", ""},
                                                     {gbk("长标题"), "acc", "pw", "remark", ""}}));
}

TEST_F(LegacyImportTest, PasswordIsCheckedAndKeyedInItsPaddedForm) {
    ASSERT_EQ(kPassword, "abcyyyyyyyyyyyyyy");
    const std::string file =
        seal_legacy(0, kPassword, pad_to_blocks(new_record("t", "r", "a", "p")));
    const QString path = vault_.file("new.dat");
    write_file(path, file);
    auto opened = LegacyVaultFile::open(path, LegacyFormat::New);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(opened->record_count(), 1);
    EXPECT_FALSE(opened->password_matches("abc"));
    EXPECT_TRUE(opened->password_matches(kPassword));

    for (const std::string& wrong : {std::string("abc"), std::string("abdyyyyyyyyyyyyyy")}) {
        LegacyImportResult result = import_legacy_file(vault_.db(), *opened, wrong);
        EXPECT_EQ(result.outcome, LegacyImportOutcome::WrongPassword);
        EXPECT_FALSE(opened->read_records(wrong).ok());
    }
    EXPECT_TRUE(vault_.records().empty());

    EXPECT_EQ(import_legacy_file(vault_.db(), *opened, kPassword).outcome,
              LegacyImportOutcome::Imported);
    EXPECT_EQ(vault_.records(), (std::vector<RawRow>{{"t", "a", "p", "r", ""}}));
}

TEST_F(LegacyImportTest, FilesOutsideTheFormatAreRefusedWithNothingInserted) {
    const std::string old_file =
        seal_legacy(1, kPassword, old_body({old_slot("t", "a", "p", "r")}));
    const std::string two_records = new_record("a", "b", "c", "d") + new_record("e", "f", "g", "h");

    expect_refused(std::string(19, '\0'), LegacyFormat::Old, "shorter than the header (old)");
    expect_refused(std::string(19, '\0'), LegacyFormat::New, "shorter than the header (new)");
    expect_refused(old_file.substr(0, 134419), LegacyFormat::Old, "old file one byte short");
    expect_refused(seal_legacy(300, kPassword, old_body({})), LegacyFormat::Old, "old N = 300");
    expect_refused(seal_legacy(300, kPassword, pad_to_blocks(two_records)), LegacyFormat::New,
                   "new N = 300");
    expect_refused(seal_legacy(1, kPassword, pad_to_blocks(two_records)) + "x", LegacyFormat::New,
                   "stream not whole blocks");
    // A negative count other than N = -1 (none) is no count the format can hold.
    expect_refused(seal_legacy(-2, kPassword, old_body({})), LegacyFormat::Old, "old N = -2");
    expect_refused(seal_legacy(INT32_MIN, kPassword, pad_to_blocks(two_records)), LegacyFormat::New,
                   "new N = INT32_MIN");
    // 300 records cannot make a longer file; it is refused before it is read into memory.
    const QString oversized = vault_.file("oversized.dat");
    write_file(oversized, seal_legacy(0, kPassword, pad_to_blocks(new_record("t", "", "", ""))));
    ASSERT_TRUE(QFile::resize(oversized, qint64(legacy::kMaxNewFileSize) + 16));
    auto too_long = LegacyVaultFile::open(oversized, LegacyFormat::New);
    ASSERT_FALSE(too_long.ok());
    EXPECT_TRUE(too_long.error().contains(QDir::toNativeSeparators(oversized)));
    // Exactly two blocks: zero fill would otherwise read as a third record of empty fields.
    const std::string two_exact =
        new_record("aaaaa", "b", "c", "d") + new_record("eeeee", "f", "g", "h");
    ASSERT_EQ(two_exact.size(), 32u);
    expect_refused(seal_legacy(2, kPassword, two_exact), LegacyFormat::New,
                   "stream shorter than N + 1 records");
    expect_refused(seal_legacy(0, kPassword, ""), LegacyFormat::New, "empty stream, one record");
    expect_refused(seal_legacy(0, kPassword, std::string(32, 'z')), LegacyFormat::New,
                   "new field without its NUL");
    expect_refused(seal_legacy(1, kPassword,
                               old_body({old_slot("t", "a", "p", "r"),
                                         old_slot(std::string(64, 'T'), "", "", "")})),
                   LegacyFormat::Old, "old title without its NUL");
    expect_refused(
        seal_legacy(0, kPassword, old_body({old_slot("t", "a", "p", std::string(256, 'R'))})),
        LegacyFormat::Old, "old remark without its NUL");
    const std::string long_key(60, 'k');
    // Its digest matches, but 60 bytes make no MARS key.
    const std::string header_n0(4, '\0');
    const QString long_path = vault_.file("long-key.dat");
    write_file(long_path, header_n0 + reference_md5(long_key) + std::string(32, '\0'));
    auto long_file = LegacyVaultFile::open(long_path, LegacyFormat::New);
    ASSERT_TRUE(long_file.ok());
    LegacyImportResult long_result = import_legacy_file(vault_.db(), *long_file, long_key);
    EXPECT_EQ(long_result.outcome, LegacyImportOutcome::Failed);
    EXPECT_TRUE(vault_.records().empty());

    // Replaced by a file of the same size between the header check and the records.
    const QString swapped = vault_.file("swapped.dat");
    write_file(swapped, seal_legacy(0, kPassword,
                                    pad_to_blocks(new_record("abcdefghijklmnopq", "", "", ""))));
    auto opened = LegacyVaultFile::open(swapped, LegacyFormat::New);
    ASSERT_TRUE(opened.ok());
    write_file(swapped, seal_legacy(1, kPassword,
                                    pad_to_blocks(new_record("t", "", "", "") +
                                                  new_record("u", "", "", ""))));
    EXPECT_EQ(import_legacy_file(vault_.db(), *opened, kPassword).outcome,
              LegacyImportOutcome::Failed);
    EXPECT_TRUE(vault_.records().empty());

    auto missing = LegacyVaultFile::open(vault_.file("absent.dat"), LegacyFormat::Old);
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().startsWith(QStringLiteral("数据库不存在")));
}

TEST_F(LegacyImportTest, OnlySlotsUpToNMustBeWellFormedAndInsertIsAllOrNothing) {
    const std::string broken_after_n =
        old_body({old_slot("t", "a", "p", "r"), std::string(448, 'Z')});
    LegacyImportResult result =
        import(seal_legacy(0, kPassword, broken_after_n), LegacyFormat::Old);
    EXPECT_EQ(result.outcome, LegacyImportOutcome::Imported) << result.message.toStdString();
    EXPECT_EQ(vault_.records().size(), 1u);

    test_support::RawSqlite(vault_.path())
        .exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON userpass WHEN new.bt = 'boom' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    const std::string stream = new_record("first", "", "", "") + new_record("boom", "", "", "");
    result = import(seal_legacy(1, kPassword, pad_to_blocks(stream)), LegacyFormat::New);
    EXPECT_EQ(result.outcome, LegacyImportOutcome::Failed);
    EXPECT_EQ(vault_.records().size(), 1u);  // "first" was rolled back with "boom"
}

// Neither format has a magic number, and an old file is a well-formed new one by its size: a
// file given to the wrong button must say which format it looks like and import nothing.
struct WrongChoice {
    const char* name;
    std::string (*make)();
    LegacyFormat chosen;
    bool said_before_password;  // from the size and header alone
    int records;                // what the right choice then imports

    friend void PrintTo(const WrongChoice& c, std::ostream* out) { *out << c.name; }
};

std::string old_two_records() {
    return seal_legacy(1, kPassword,
                       old_body({old_slot("t0", "a0", "p0", "r0"), old_slot("t1", "", "p1", "")}));
}
std::string old_no_records() { return seal_legacy(-1, kPassword, old_body({})); }
std::string new_one_record() {
    return seal_legacy(0, kPassword, pad_to_blocks(new_record("t", "r", "a", "p")));
}
std::string new_no_records() { return seal_legacy(-1, kPassword, ""); }
// Longer than an old file: the first 134420 bytes alone would be read as slots.
std::string new_longer_than_old() {
    const std::string remark(60000, 'R');
    return seal_legacy(
        2, kPassword,
        pad_to_blocks(new_record("t0", remark, "a0", "p0") + new_record("t1", remark, "a1", "p1") +
                      new_record("t2", remark, "a2", "p2")));
}
// Longer than an old file, yet its first record puts a NUL in every field of slots 0 and 1
// (the unread byte after each field's NUL is a NUL too): it parses as an old file as well,
// only not as one of exactly 134420 bytes.
std::string new_that_parses_as_old_too() {
    const std::string big(65000, 'B');
    const std::string stream = new_record(std::string(63, 'a'), std::string(126, 'b'),
                                          std::string(318, 'c'), std::string(126, 'd'), '\0') +
                               new_record(big, big, std::string(5000, 'e'), "", '\0');
    return seal_legacy(1, kPassword, pad_to_blocks(stream));
}

class LegacyFormatChoiceTest : public LegacyImportTest,
                               public ::testing::WithParamInterface<WrongChoice> {};

TEST_P(LegacyFormatChoiceTest, SaysWhichFormatTheFileLooksLikeAndImportsNothing) {
    const WrongChoice& c = GetParam();
    const std::string bytes = c.make();
    const bool old_chosen = c.chosen == LegacyFormat::Old;
    const QString expected = old_chosen
                                 ? QStringLiteral("看起来是新格式的密码库文件，请选择新格式导入")
                                 : QStringLiteral("看起来是旧格式的密码库文件，请选择旧格式导入");
    const QString path = vault_.file("chosen.dat");
    write_file(path, bytes);
    auto file = LegacyVaultFile::open(path, c.chosen);
    ASSERT_EQ(file.ok(), !c.said_before_password);
    const QString message =
        file ? import_legacy_file(vault_.db(), *file, kPassword).message : file.error();
    EXPECT_TRUE(message.contains(expected)) << message.toStdString();
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(path))) << message.toStdString();
    EXPECT_TRUE(vault_.records().empty());

    LegacyImportResult right = import(bytes, old_chosen ? LegacyFormat::New : LegacyFormat::Old);
    ASSERT_EQ(right.outcome, LegacyImportOutcome::Imported) << right.message.toStdString();
    EXPECT_EQ(right.imported, c.records);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LegacyFormatChoiceTest,
    ::testing::Values(
        WrongChoice{"OldFileAsNew", &old_two_records, LegacyFormat::New, false, 2},
        WrongChoice{"EmptyOldFileAsNew", &old_no_records, LegacyFormat::New, false, 0},
        WrongChoice{"NewFileAsOld", &new_one_record, LegacyFormat::Old, true, 1},
        WrongChoice{"EmptyNewFileAsOld", &new_no_records, LegacyFormat::Old, true, 0},
        WrongChoice{"LongNewFileAsOld", &new_longer_than_old, LegacyFormat::Old, false, 3},
        WrongChoice{"NewFileThatParsesAsOldTooAsOld", &new_that_parses_as_old_too,
                    LegacyFormat::Old, false, 2}),
    [](const ::testing::TestParamInfo<WrongChoice>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane::tools

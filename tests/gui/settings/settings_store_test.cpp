// SPDX-License-Identifier: GPL-3.0-or-later
// The stored settings: what each stored text means, the form each value is written in, and where
// the file is that earlier installations and later runs share.
#include "gui/settings/settings_store.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <string>

#include "gui/settings/settings_folder.h"

namespace korvane::test_support {
namespace {

struct StoredTextRow {
    const char* name;
    Setting setting;
    const char* file_text;  // null: nothing stored
    int expected;
};

void PrintTo(const StoredTextRow& row, std::ostream* out) { *out << row.name; }

// Every row table names its cases by the row's own name.
template <typename Row>
std::string row_name(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// The file as a previous run, or an earlier installation, left it.
class StoredTextTest : public ::testing::TestWithParam<StoredTextRow> {
protected:
    SettingsFolder folder_;
};

TEST_P(StoredTextTest, ReadsWhatTheStoredTextMeansOrTheDefault) {
    const StoredTextRow& row = GetParam();
    if (row.file_text) folder_.store(row.file_text);
    EXPECT_EQ(SettingsStore().value(row.setting), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Look, StoredTextTest,
    ::testing::Values(
        StoredTextRow{"Missing", Setting::Look, nullptr, 1},
        StoredTextRow{"Four", Setting::Look, "[Settings]\nbXPMode=4\n", 4},
        StoredTextRow{"Three", Setting::Look, "[Settings]\nbXPMode=3\n", 3},
        // Numbers that name no look are kept, for the window to show Office 2000 and write back.
        StoredTextRow{"Zero", Setting::Look, "[Settings]\nbXPMode=0\n", 0},
        StoredTextRow{"Five", Setting::Look, "[Settings]\nbXPMode=5\n", 5},
        StoredTextRow{"Negative", Setting::Look, "[Settings]\nbXPMode=-7\n", -7},
        // Unreadable values fall back to Office XP.
        StoredTextRow{"Garbage", Setting::Look, "[Settings]\nbXPMode=abc\n", 1},
        StoredTextRow{"Fraction", Setting::Look, "[Settings]\nbXPMode=4.5\n", 1},
        StoredTextRow{"Empty", Setting::Look, "[Settings]\nbXPMode=\n", 1},
        StoredTextRow{"Over32Bits", Setting::Look, "[Settings]\nbXPMode=99999999999\n", 1},
        StoredTextRow{"List", Setting::Look, "[Settings]\nbXPMode=2, 3\n", 1},
        // The same name in another section is not the setting.
        StoredTextRow{"OtherSection", Setting::Look, "[General]\nbXPMode=4\n", 1},
        // Qt still finds the number in a file it cannot parse, but such a file is not trusted.
        StoredTextRow{"FileNotParsed", Setting::Look, "[Settings]\nbXPMode=4\n[Broken\n", 1}),
    row_name<StoredTextRow>);

INSTANTIATE_TEST_SUITE_P(
    ClipboardClearSeconds, StoredTextTest,
    ::testing::Values(StoredTextRow{"Missing", Setting::ClipboardClearSeconds, nullptr, 10},
                      StoredTextRow{"Zero", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=0\n", 0},
                      StoredTextRow{"Four", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=4\n", 10},
                      StoredTextRow{"Five", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=5\n", 5},
                      StoredTextRow{"ThreeHundred", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=300\n", 300},
                      StoredTextRow{"ThreeHundredOne", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=301\n", 10},
                      StoredTextRow{"Garbage", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=abc\n", 10},
                      StoredTextRow{"FileNotParsed", Setting::ClipboardClearSeconds,
                                    "[Settings]\nClipboardClearSeconds=45\n[Broken\n", 10}),
    row_name<StoredTextRow>);

INSTANTIATE_TEST_SUITE_P(
    IdleLockMinutes, StoredTextTest,
    ::testing::Values(
        StoredTextRow{"Missing", Setting::IdleLockMinutes, nullptr, 0},
        StoredTextRow{"Zero", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=0\n", 0},
        StoredTextRow{"One", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=1\n", 1},
        StoredTextRow{"Thirty", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=30\n", 30},
        StoredTextRow{"ADay", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=1440\n", 1440},
        StoredTextRow{"OverADay", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=1441\n",
                      0},
        StoredTextRow{"Negative", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=-1\n", 0},
        StoredTextRow{"Garbage", Setting::IdleLockMinutes, "[Settings]\nIdleLockMinutes=abc\n", 0}),
    row_name<StoredTextRow>);

INSTANTIATE_TEST_SUITE_P(
    LockOnScreenLock, StoredTextTest,
    ::testing::Values(StoredTextRow{"Missing", Setting::LockOnScreenLock, nullptr, 1},
                      StoredTextRow{"True", Setting::LockOnScreenLock,
                                    "[Settings]\nLockOnScreenLock=true\n", 1},
                      StoredTextRow{"False", Setting::LockOnScreenLock,
                                    "[Settings]\nLockOnScreenLock=false\n", 0},
                      StoredTextRow{"FalseInCapitals", Setting::LockOnScreenLock,
                                    "[Settings]\nLockOnScreenLock=FALSE\n", 0},
                      StoredTextRow{"ZeroAsText", Setting::LockOnScreenLock,
                                    "[Settings]\nLockOnScreenLock=0\n", 0},
                      StoredTextRow{"OneAsText", Setting::LockOnScreenLock,
                                    "[Settings]\nLockOnScreenLock=1\n", 1},
                      StoredTextRow{"Garbage", Setting::LockOnScreenLock,
                                    "[Settings]\nLockOnScreenLock=maybe\n", 1}),
    row_name<StoredTextRow>);

struct WrittenRow {
    const char* name;
    Setting setting;
    int written;
    const char* file_text;
};

void PrintTo(const WrittenRow& row, std::ostream* out) { *out << row.name; }

class WrittenValueTest : public ::testing::TestWithParam<WrittenRow> {
protected:
    SettingsFolder folder_;
};

TEST_P(WrittenValueTest, KeepsTheStoredFormAndReadsItBackInThisRunAndTheNext) {
    const WrittenRow& row = GetParam();
    SettingsStore().set_value(row.setting, row.written);
    const QByteArray written = folder_.stored();
    EXPECT_EQ(written, QByteArray(row.file_text));
    EXPECT_EQ(SettingsStore().value(row.setting), row.written) << "this run";
    // A folder no QSettings has read yet: the value comes from the text alone.
    folder_.use_fresh();
    folder_.store(written);
    EXPECT_EQ(SettingsStore().value(row.setting), row.written) << "the next run";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WrittenValueTest,
    ::testing::Values(
        WrittenRow{"LookFour", Setting::Look, 4, "[Settings]\nbXPMode=4\n"},
        WrittenRow{"LookNamingNone", Setting::Look, 0, "[Settings]\nbXPMode=0\n"},
        WrittenRow{"ClipboardNever", Setting::ClipboardClearSeconds, 0,
                   "[Settings]\nClipboardClearSeconds=0\n"},
        WrittenRow{"ClipboardShortest", Setting::ClipboardClearSeconds, 5,
                   "[Settings]\nClipboardClearSeconds=5\n"},
        WrittenRow{"ClipboardLongest", Setting::ClipboardClearSeconds, 300,
                   "[Settings]\nClipboardClearSeconds=300\n"},
        WrittenRow{"IdleOff", Setting::IdleLockMinutes, 0, "[Settings]\nIdleLockMinutes=0\n"},
        WrittenRow{"IdleShortest", Setting::IdleLockMinutes, 1, "[Settings]\nIdleLockMinutes=1\n"},
        WrittenRow{"IdleADay", Setting::IdleLockMinutes, 1440,
                   "[Settings]\nIdleLockMinutes=1440\n"},
        WrittenRow{"ScreenLockOff", Setting::LockOnScreenLock, 0,
                   "[Settings]\nLockOnScreenLock=false\n"},
        WrittenRow{"ScreenLockOn", Setting::LockOnScreenLock, 1,
                   "[Settings]\nLockOnScreenLock=true\n"}),
    row_name<WrittenRow>);

TEST(SettingsStoreTest, WritesInATemporaryFolderAndKeepsTheOtherValuesBeside) {
    SettingsFolder folder;
    EXPECT_TRUE(folder.folder().startsWith(QDir::tempPath() + '/'));
    folder.store("[Recent%20File%20List]\nFile1=a.vell\n\n[Settings]\nbXPMode=2\n");
    SettingsStore().set_look(0);
    const QByteArray text = folder.stored();
    EXPECT_TRUE(text.contains("bXPMode=0")) << text.data();
    EXPECT_FALSE(text.contains("bXPMode=2")) << text.data();
    EXPECT_TRUE(text.contains("File1=a.vell")) << text.data();
}

TEST(SettingsStoreTest, EachNamedAccessorReadsAndWritesItsOwnKey) {
    SettingsFolder folder;
    SettingsStore settings;
    settings.set_look(3);
    settings.set_clipboard_clear_seconds(45);
    settings.set_idle_lock_minutes(30);
    settings.set_lock_on_screen_lock(false);
    const QByteArray text = folder.stored();
    for (const char* line : {"bXPMode=3\n", "ClipboardClearSeconds=45\n", "IdleLockMinutes=30\n",
                             "LockOnScreenLock=false\n"}) {
        EXPECT_TRUE(text.contains(line)) << text.data();
    }
    EXPECT_EQ(settings.look(), 3);
    EXPECT_EQ(settings.clipboard_clear_seconds(), 45);
    EXPECT_EQ(settings.idle_lock_minutes(), 30);
    EXPECT_FALSE(settings.lock_on_screen_lock());
}

}  // namespace
}  // namespace korvane::test_support

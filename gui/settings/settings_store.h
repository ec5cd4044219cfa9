// SPDX-License-Identifier: GPL-3.0-or-later
// SettingsStore: the program's lasting settings, one row each in one table, kept in the per-user
// native settings store.
#pragma once

#include <array>
#include <cstddef>

class QSettings;

namespace korvane {

// In the order of SettingsStore::kRows.
enum class Setting { Look, ClipboardClearSeconds, IdleLockMinutes, LockOnScreenLock };

// What a stored value may mean; anything else reads as the row's default.
enum class SettingKind {
    // Any 32-bit number, kept as it is.
    Number,
    // The row's off value, or a number from min to max.
    Delay,
    // true or 1, false or 0, in any case.
    Switch,
};

struct SettingRow {
    Setting setting;
    const char* key;
    SettingKind kind;
    // A switch's is 1 (on) or 0 (off).
    int default_value;
    // A delay's "never" or "off"; only a check box in the options dialog can choose it.
    int off = 0;
    int min = 0;
    int max = 0;
};

// The application owns one and lends it to the window, the locker and the options dialog. Each
// read and write opens the native store anew, so a read sees what was stored since by anyone.
class SettingsStore {
public:
    // Where earlier installations keep their values, so that these carry over between them.
    static constexpr char kOrganisation[] = "Local AppWizard-Generated Applications";
    static constexpr char kApplication[] = "Pellorin";

    static constexpr std::array<SettingRow, 4> kRows{{
        // A first start shows Office XP; a number that names no look is kept, to be written back.
        {.setting = Setting::Look,
         .key = "Settings/bXPMode",
         .kind = SettingKind::Number,
         .default_value = 1},
        // 0 keeps a copied password until the user replaces it. Less than 5 s leaves no time to
        // paste; more than 5 min is hardly a clearing.
        {.setting = Setting::ClipboardClearSeconds,
         .key = "Settings/ClipboardClearSeconds",
         .kind = SettingKind::Delay,
         .default_value = 10,
         .off = 0,
         .min = 5,
         .max = 300},
        // Off unless the user asks: an idle lock surprises people who never chose it. A day is
        // the longest wait that still means "when I walk away".
        {.setting = Setting::IdleLockMinutes,
         .key = "Settings/IdleLockMinutes",
         .kind = SettingKind::Delay,
         .default_value = 0,
         .off = 0,
         .min = 1,
         .max = 1440},
        // The desktop locking its screen is the clearest sign the user has left.
        {.setting = Setting::LockOnScreenLock,
         .key = "Settings/LockOnScreenLock",
         .kind = SettingKind::Switch,
         .default_value = 1},
    }};

    static constexpr const SettingRow& row(Setting setting) {
        return kRows[static_cast<std::size_t>(setting)];
    }

    // What the stored value means by its row; the row's default when it is missing, means
    // nothing or the store cannot be read.
    int value(Setting setting) const;
    // Stores value as given, a switch as true or false; value() decides what an out-of-range
    // value means. A failure to write is ignored: at exit nothing could be done about it.
    void set_value(Setting setting, int value);

    int look() const { return value(Setting::Look); }
    void set_look(int mode) { set_value(Setting::Look, mode); }
    int clipboard_clear_seconds() const { return value(Setting::ClipboardClearSeconds); }
    void set_clipboard_clear_seconds(int seconds) {
        set_value(Setting::ClipboardClearSeconds, seconds);
    }
    int idle_lock_minutes() const { return value(Setting::IdleLockMinutes); }
    void set_idle_lock_minutes(int minutes) { set_value(Setting::IdleLockMinutes, minutes); }
    bool lock_on_screen_lock() const { return value(Setting::LockOnScreenLock) != 0; }
    void set_lock_on_screen_lock(bool on) { set_value(Setting::LockOnScreenLock, on ? 1 : 0); }

private:
    QSettings open() const;
};

static_assert(
    [] {
        for (std::size_t i = 0; i < SettingsStore::kRows.size(); ++i) {
            if (static_cast<std::size_t>(SettingsStore::kRows[i].setting) != i) return false;
        }
        return true;
    }(),
    "row() finds a setting's row by its number");

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// LockSettings: when the running program locks the vault on its own.
#pragma once

#include <QVariant>

namespace korvane {

// Kept beside the clipboard delay and the chosen look, in the same settings store.
class LockSettings {
public:
    static constexpr char kIdleMinutesKey[] = "Settings/IdleLockMinutes";
    static constexpr char kOnScreenLockKey[] = "Settings/LockOnScreenLock";
    // Off unless the user asks: an idle lock surprises people who never chose it.
    static constexpr int kIdleOff = 0;
    static constexpr int kDefaultIdleMinutes = kIdleOff;
    // A day is the longest wait that still means "when I walk away".
    static constexpr int kMaxIdleMinutes = 1440;
    // The desktop locking its screen is the clearest sign the user has left.
    static constexpr bool kDefaultOnScreenLock = true;

    // Minutes without input before the vault locks; kIdleOff when missing, off or out of range.
    static int read_idle_minutes();
    static void write_idle_minutes(int minutes);
    static bool read_on_screen_lock();
    static void write_on_screen_lock(bool on);

    // What stored values mean; anything unreadable gives the default.
    static int idle_minutes_from_stored(const QVariant& stored);
    static bool on_screen_lock_from_stored(const QVariant& stored);
};

}  // namespace korvane

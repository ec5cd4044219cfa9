// SPDX-License-Identifier: GPL-3.0-or-later
// VaultLocker: locks the vault while the program runs and unlocks it again from the main window.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <memory>

#include "gui/commands/command_target.h"
#include "gui/lock/idle_watcher.h"
#include "vault/result.h"

class QTimer;
class QWidget;

namespace korvane {

class LockableWindow;
class ScreenLockWatcher;
class SettingsStore;
class UnlockPanel;
class VaultSession;

// Locking closes the vault as the exit does (the connection goes, the key is wiped) and lets go of
// its folder, so another program may open it; the window then shows UnlockPanel in place of its
// panes. While locked the locker comes first in the routing chain and takes, disabled, every
// command that needs the vault.
class VaultLocker : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // now times the idle lock; tests pass a clock they move themselves.
    VaultLocker(LockableWindow& window, VaultSession& session, const SettingsStore& settings,
                IdleWatcher::Clock now);
    ~VaultLocker() override;

    bool locked() const { return locked_; }
    // Locks now, or, when dialogs are open, cancels them and locks as soon as they have
    // returned. Nothing happens while locked or already waiting to lock.
    void lock();
    // Unlocks with the password typed in the panel; a refusal is told and leaves it locked.
    void unlock();
    // Reads the lock settings again: the idle wait starts anew, and the screen lock's reaction is
    // switched on or off.
    void apply_settings();
    // Listens for the screen lock on these buses instead of the desktop's.
    void watch_buses(const QDBusConnection& session_bus, const QDBusConnection& system_bus);

    IdleWatcher& idle_watcher() { return *idle_; }
    const ScreenLockWatcher& screen_lock_watcher() const { return *screen_lock_; }
    UnlockPanel& panel() { return *panel_; }

    // CommandTarget: while locked, every command that needs the vault, disabled.
    bool handles_command(int id) const override;
    void execute_command(int id) override;
    void update_command(int id, CommandState& state) const override;

signals:
    void locked_changed(bool locked);

private:
    void on_screen_locked();
    void finish_waiting_lock();
    void close_vault();
    void show_panel();

    LockableWindow& window_;
    VaultSession& session_;
    const SettingsStore& settings_;
    IdleWatcher* idle_;
    std::unique_ptr<ScreenLockWatcher> screen_lock_;
    UnlockPanel* panel_;
    QTimer* waiting_lock_;
    bool lock_on_screen_lock_ = true;
    bool locked_ = false;
};

}  // namespace korvane

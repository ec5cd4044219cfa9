// SPDX-License-Identifier: GPL-3.0-or-later
// VaultLocker: the lock path (cancel dialogs, forget what is shown, close the vault, let go of the
// folder) and the unlock path (a fresh start of the session with the panel's password).
#include "gui/lock/vault_locker.h"

#include <QSet>
#include <QTimer>

#include "gui/auth/qt_session_prompts.h"
#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"
#include "gui/lock/lockable_window.h"
#include "gui/lock/unlock_panel.h"
#include "gui/settings/settings_store.h"
#include "platform/screen_lock_watcher.h"
#include "resources/resource_ids.h"
#include "vault/secure_wipe.h"
#include "vault/vault_session.h"

namespace korvane {
namespace {

// How often a lock that waits for cancelled dialogs looks whether they have all returned.
constexpr int kWaitingLockMs = 10;

// Commands that touch neither the vault nor what was shown of it.
bool works_while_locked(int id) {
    static const QSet<int> commands = {
        res::kCmdExit,
        res::kCmdAbout,
        res::kCmdHideToTray,
        res::kCmdViewToolbar,
        res::kCmdViewStatusBar,
        res::kCmdStyleXp,
        res::kCmdStyleOffice2003,
        res::kCmdStyleOfficeXp,
        res::kCmdStyleOffice2000,
        res::kCmdPasswordGenerator,
        res::kCmdClearClipboard,
    };
    return commands.contains(id);
}

// The start-up's questions, answered from the panel: the master password is the one typed
// there; a recovery's or a new vault's password is asked with the start-up's own dialog, and
// messages come up over the window.
class PanelPrompts final : public SessionPrompts {
public:
    PanelPrompts(QWidget& owner, std::string password)
        : owner_(owner), password_(std::move(password)) {}
    ~PanelPrompts() override { secure_wipe(password_); }
    PanelPrompts(const PanelPrompts&) = delete;
    PanelPrompts& operator=(const PanelPrompts&) = delete;

    void show_message(const QString& text, const QString& caption) override {
        korvane::show_message(&owner_, text, caption);
    }
    std::optional<std::string> ask_new_password(NewPasswordReason reason) override {
        return dialogs_.ask_new_password(reason);
    }
    std::optional<std::string> ask_master_password() override {
        if (asked_) return std::nullopt;
        asked_ = true;
        return password_;
    }

private:
    QWidget& owner_;
    QtSessionPrompts dialogs_;
    std::string password_;
    bool asked_ = false;
};

}  // namespace

VaultLocker::VaultLocker(LockableWindow& window, VaultSession& session,
                         const SettingsStore& settings, IdleWatcher::Clock now)
    : QObject(&window.lock_owner()),
      window_(window),
      session_(session),
      settings_(settings),
      idle_(new IdleWatcher(std::move(now), this)),
      panel_(new UnlockPanel(&window.lock_owner())),
      waiting_lock_(new QTimer(this)) {
    panel_->hide();
    waiting_lock_->setInterval(kWaitingLockMs);
    connect(waiting_lock_, &QTimer::timeout, this, &VaultLocker::finish_waiting_lock);
    connect(panel_, &UnlockPanel::unlock_requested, this, &VaultLocker::unlock);
    connect(idle_, &IdleWatcher::idle, this, &VaultLocker::lock);
    watch_buses(ScreenLockWatcher::desktop_session_bus(), ScreenLockWatcher::desktop_system_bus());
    apply_settings();
}

VaultLocker::~VaultLocker() {
    // A lock still waiting for its dialogs must not leave every later question refused.
    if (waiting_lock_->isActive()) allow_dialogs();
}

void VaultLocker::apply_settings() {
    idle_->set_minutes(settings_.idle_lock_minutes());
    lock_on_screen_lock_ = settings_.lock_on_screen_lock();
}

void VaultLocker::watch_buses(const QDBusConnection& session_bus,
                              const QDBusConnection& system_bus) {
    screen_lock_ = std::make_unique<ScreenLockWatcher>(session_bus, system_bus);
    connect(screen_lock_.get(), &ScreenLockWatcher::screen_locked, this,
            &VaultLocker::on_screen_locked);
}

void VaultLocker::on_screen_locked() {
    if (lock_on_screen_lock_) lock();
}

void VaultLocker::lock() {
    if (locked_ || waiting_lock_->isActive()) return;
    if (open_modal_runs() == 0) {
        close_vault();
        return;
    }
    // The dialogs' runs are further down the stack than this call: the vault is closed only
    // once each has returned, so no caller finds it gone when its dialog comes back Rejected.
    withdraw_dialogs();
    waiting_lock_->start();
}

void VaultLocker::finish_waiting_lock() {
    if (open_modal_runs() > 0) return;
    waiting_lock_->stop();
    close_vault();
}

void VaultLocker::close_vault() {
    // Closes popup menus too, and keeps anything the lock sets off from asking a question.
    withdraw_dialogs();
    window_.forget_vault_view();
    const std::optional<QString> notice = session_.lock();
    allow_dialogs();
    if (notice) show_message(&window_.lock_owner(), *notice, error_caption());
    session_.release_folder();
    locked_ = true;
    show_panel();
    window_.update_commands();
    emit locked_changed(true);
}

void VaultLocker::show_panel() {
    window_.show_lock_panel(*panel_);
    panel_->reset();
}

void VaultLocker::unlock() {
    if (!locked_) return;
    std::optional<std::string> password = panel_->take_password();
    if (!password) return;
    PanelPrompts prompts(window_.lock_owner(), std::move(*password));
    secure_wipe(*password);
    // A fresh start: the folder is claimed again and user.dat read as it is now, with whatever
    // another program changed while this one held no lock.
    if (session_.start(prompts) != StartOutcome::Unlocked) {
        session_.release_folder();
        panel_->reset();
        return;
    }
    locked_ = false;
    window_.show_vault_content();
    window_.restore_vault_view();
    idle_->note_input();
    window_.update_commands();
    emit locked_changed(false);
}

bool VaultLocker::handles_command(int id) const { return locked_ && !works_while_locked(id); }

void VaultLocker::execute_command(int id) {
    // Taken only while locked, to keep the command from the panes and the frame.
    (void)id;
}

void VaultLocker::update_command(int id, CommandState& state) const {
    (void)id;
    state.enabled = false;
}

}  // namespace korvane

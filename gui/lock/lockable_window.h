// SPDX-License-Identifier: GPL-3.0-or-later
// LockableWindow: what VaultLocker needs of the window whose vault it locks.
#pragma once

class QWidget;

namespace korvane {

// The main window implements it, so the locker knows nothing of the panes it empties.
class LockableWindow {
public:
    virtual ~LockableWindow() = default;

    // The window itself: the unlock panel's parent, and the owner of the lock's messages.
    virtual QWidget& lock_owner() = 0;
    // Forgets everything that shows the vault (the copied password, the floating window's
    // collected text, the search, the tree and the list), remembering the selected category.
    virtual void forget_vault_view() = 0;
    // Shows the vault again after an unlock, the remembered category selected if it is still
    // there.
    virtual void restore_vault_view() = 0;
    // Puts panel in place of the window's content, keeping the content for show_vault_content.
    virtual void show_lock_panel(QWidget& panel) = 0;
    // Takes the panel out again and puts the content back.
    virtual void show_vault_content() = 0;
    // The lock changed which commands are enabled.
    virtual void update_commands() = 0;
};

}  // namespace korvane

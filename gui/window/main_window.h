// SPDX-License-Identifier: GPL-3.0-or-later
// MainWindow: the main window. Menu bar, toolbar, status bar, the splitter with the category
// tree and the record list and the wiring between them, the tray icon, the floating window, and
// the frame's share of the command routing.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <memory>
#include <string>

#include "gui/commands/command_target.h"
#include "gui/lock/lockable_window.h"
#include "platform/clipboard_clearer.h"

class QLabel;
class QSplitter;
class QToolBar;

namespace korvane {

class VaultSession;
class CategoryTree;
class RecordList;
class SearchBox;
class SettingsStore;
class CommandRouter;
class FloatWindow;
class FloatWindowFollower;
class LockKeyIndicators;
class TrayIcon;
class VaultLocker;
struct VaultChange;

class MainWindow : public QMainWindow, public CommandTarget, public LockableWindow {
    Q_OBJECT
public:
    // settings holds the look, the clipboard delay and the lock triggers. app_target ends the
    // routing chain (the application's own commands). clock times the clearing of copied
    // passwords; tests pass one they move themselves.
    MainWindow(VaultSession& session, SettingsStore& settings, CommandTarget* app_target,
               QWidget* parent = nullptr,
               ClipboardClearer::Clock clock = &ClipboardClearer::steady_now);
    ~MainWindow() override;

    // Fills the tree, whose selection of its root fills the list once. The first call also
    // creates the floating window, which shows with the main window.
    void initial_update();

    CommandRouter& router() { return *router_; }
    CategoryTree& category_tree() { return *tree_; }
    RecordList& record_list() { return *list_; }
    QSplitter& splitter() { return *splitter_; }
    QToolBar& toolbar() { return *toolbar_; }
    SearchBox& search_box() { return *search_box_; }
    // The pane that gets commands first: the tree or the list.
    CommandTarget* active_pane() const;
    void set_active_pane(CommandTarget* pane);

    bool window_shown() const { return window_shown_; }
    void hide_to_tray();
    void restore_from_tray();
    bool has_tray() const;
    TrayIcon& tray_icon() { return *tray_icon_; }

    // Whether the floating window is meant to be shown; res::kCmdToggleFloat toggles it. It is
    // still hidden while the main window is minimised.
    bool float_visible() const;
    // Keeps the floating window hidden while the vault is locked, and lets it come back after.
    void hold_back_float_window(bool held);
    // The floating window; null before the first initial update.
    FloatWindow* float_window() const { return float_window_; }

    // Every password the window copies goes through it; the application clears it at exit.
    ClipboardClearer& clipboard_clearer() { return *clearer_; }
    // The status bar's own text (就绪, or the clipboard countdown).
    QString status_text() const;

    // Puts the stored settings (clipboard delay, lock triggers) in force: at start, and again
    // as soon as the options dialog has stored new ones.
    void apply_settings();

    // The stored number of the chosen look; written back when the frame is destroyed at exit.
    int style_mode() const { return style_mode_; }

    // Locks and unlocks the vault while the program runs (res::kCmdLock, idle, screen lock).
    VaultLocker& vault_locker() { return *locker_; }
    // Reads the lock settings again, after the user changed them: restarts the idle wait and
    // switches the screen lock's reaction on or off.
    void apply_lock_settings();

    // CommandTarget
    bool handles_command(int id) const override;
    void execute_command(int id) override;
    void update_command(int id, CommandState& state) const override;

    // LockableWindow
    QWidget& lock_owner() override { return *this; }
    void forget_vault_view() override;
    void restore_vault_view() override;
    void show_lock_panel(QWidget& panel) override;
    void show_vault_content() override;
    void update_commands() override;

signals:
    // The user chose 退出: the application ends the event loop and locks the vault.
    void exit_requested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void build_status_bar();
    void show_clipboard_countdown(int seconds_left);
    void show_ready();
    // True for the splitter (its bar) and the status bar, and anything inside them.
    bool opens_bar_menu(const QWidget* clicked) const;
    void build_accelerators();
    // The toolbar's search field and how it talks to the panes.
    void build_search_box();
    void focus_search_box();
    void show_results();
    void switch_pane();
    using FrameHandler = void (*)(MainWindow&);
    static const QHash<int, FrameHandler>& frame_handlers();
    bool forwards_to_list(int id) const;
    void choose_look(int mode);
    void toggle_float_window();
    void write_collected_record();
    // Without a notification area a window hidden in it could never come back, so it is shown.
    void follow_tray(bool available);
    void change_password();
    void edit_options();
    // Reloads the tree after categories changed, else shows the selected category again after
    // records did.
    void apply_vault_change(const VaultChange& change);

    VaultSession& session_;
    SettingsStore& settings_;
    CommandTarget* app_target_;
    CommandRouter* router_ = nullptr;
    ClipboardClearer* clearer_ = nullptr;
    QLabel* status_label_ = nullptr;
    QSplitter* splitter_ = nullptr;
    CategoryTree* tree_ = nullptr;
    RecordList* list_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    SearchBox* search_box_ = nullptr;
    LockKeyIndicators* indicators_ = nullptr;
    TrayIcon* tray_icon_ = nullptr;
    FloatWindow* float_window_ = nullptr;
    FloatWindowFollower* float_follower_ = nullptr;
    VaultLocker* locker_ = nullptr;
    CommandTarget* active_pane_ = nullptr;
    // The panes while the unlock panel stands in for them.
    QWidget* locked_content_ = nullptr;
    // The tree's selection at the lock, selected again at the unlock.
    std::string locked_category_;
    bool window_shown_ = true;
    bool splitter_sized_ = false;
    int style_mode_;
};

}  // namespace korvane

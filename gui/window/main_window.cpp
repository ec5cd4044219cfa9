// SPDX-License-Identifier: GPL-3.0-or-later
// MainWindow: building the main window, the talk between its panes and the frame's commands.
#include "gui/window/main_window.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QSet>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "gui/auth/change_password_dialog.h"
#include "gui/categories/category_tree.h"
#include "gui/commands/command_router.h"
#include "gui/commands/command_table.h"
#include "gui/commands/menu_builder.h"
#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"
#include "gui/float/float_window.h"
#include "gui/float/float_window_follower.h"
#include "gui/lock/vault_locker.h"
#include "gui/records/record_list.h"
#include "gui/records/search_box.h"
#include "gui/settings/options_dialog.h"
#include "gui/settings/settings_store.h"
#include "gui/settings/visual_style.h"
#include "gui/tools/tool_commands.h"
#include "gui/window/lock_key_indicators.h"
#include "gui/window/program_title.h"
#include "gui/window/tray_icon.h"
#include "platform/clipboard.h"
#include "resources/resource_ids.h"
#include "resources/string_table.h"
#include "vault/secure_wipe.h"
#include "vault/vault_session.h"

namespace korvane {
namespace {

constexpr int kTreeWidth = 170;
constexpr int kSplitterBar = 6;

}  // namespace

MainWindow::MainWindow(VaultSession& session, SettingsStore& settings, CommandTarget* app_target,
                       QWidget* parent, ClipboardClearer::Clock clock)
    : QMainWindow(parent),
      session_(session),
      settings_(settings),
      app_target_(app_target),
      style_mode_(settings_.look()) {
    setWindowTitle(program_title());
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    router_ = new CommandRouter(this);
    clearer_ = new ClipboardClearer(clock, this);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setHandleWidth(kSplitterBar);
    splitter_->setChildrenCollapsible(false);
    tree_ = new CategoryTree(session_, splitter_);
    list_ = new RecordList(session_, *router_, *clearer_, splitter_);
    // The tree's selection is what the list shows; a change to records is shown again through
    // the tree, so the list always matches the selected item.
    connect(tree_, &CategoryTree::category_selected, list_, &RecordList::show_category);
    connect(list_, &RecordList::records_changed, tree_, &CategoryTree::show_selected_category);
    splitter_->addWidget(tree_);
    splitter_->addWidget(list_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    active_pane_ = tree_;
    connect(tree_, &CategoryTree::activated, this, [this] { set_active_pane(tree_); });
    connect(list_, &RecordList::activated, this, [this] { set_active_pane(list_); });

    // While locked the locker stands in for the panes and keeps the vault's commands.
    locker_ = new VaultLocker(*this, session_, settings_, std::move(clock));
    router_->set_chain([this] {
        CommandTarget* first =
            locker_->locked() ? static_cast<CommandTarget*>(locker_) : active_pane_;
        return std::vector<CommandTarget*>{first, this, app_target_};
    });

    build_status_bar();
    // The bars are built in the default look; a stored look replaces it once they exist.
    VisualStyle::apply_look(VisualStyle::kDefaultLook);
    build_main_menu(*router_, *menuBar());
    toolbar_ = addToolBar(QStringLiteral("标准"));
    toolbar_->setObjectName(QStringLiteral("standard_toolbar"));
    toolbar_->setIconSize(QSize(32, 32));
    build_toolbar(*router_, *toolbar_);
    build_search_box();
    // A stored number that names no look leaves the default in force, and is kept to be
    // written back unchanged.
    VisualStyle::apply_look(style_mode_);
    build_accelerators();

    tray_icon_ = new TrayIcon(*router_, this);
    connect(tray_icon_, &TrayIcon::left_clicked, this, [this] {
        if (!window_shown_) restore_from_tray();
    });
    connect(tray_icon_, &TrayIcon::availability_changed, this, &MainWindow::follow_tray);
    apply_settings();
    router_->update_actions();
    resize(1000, 640);
}

// Only a normal end destroys the frame, so a killed process keeps the previously stored look.
MainWindow::~MainWindow() {
    settings_.set_look(style_mode_);
    secure_wipe(locked_category_);
}

void MainWindow::initial_update() {
    tree_->reload();
    if (!float_window_) {
        float_window_ = new FloatWindow(*router_, *clearer_, this);
        float_follower_ = new FloatWindowFollower(*this, *float_window_);
    }
    // The tree's reload has filled the list already: each fill reads every row of the view, so a
    // second one here doubled the start-up of a large vault.
    router_->update_actions();
}

void MainWindow::apply_lock_settings() { locker_->apply_settings(); }

void MainWindow::build_status_bar() {
    status_label_ = new QLabel(res::string_entry(res::kStrReady), this);
    statusBar()->addWidget(status_label_, 1);
    indicators_ = new LockKeyIndicators(*statusBar(), this);
    connect(clearer_, &ClipboardClearer::countdown, this, &MainWindow::show_clipboard_countdown);
    connect(clearer_, &ClipboardClearer::finished, this, &MainWindow::show_ready);
}

QString MainWindow::status_text() const { return status_label_->text(); }

void MainWindow::show_clipboard_countdown(int seconds_left) {
    status_label_->setText(QStringLiteral("密码已复制到剪贴板，%1 秒后清除").arg(seconds_left));
}

void MainWindow::show_ready() { status_label_->setText(res::string_entry(res::kStrReady)); }

void MainWindow::build_accelerators() {
    // An accelerator takes its key even when its command has no handler, so the edit keys
    // reach no pane and change nothing.
    for (const command_table::Accelerator& accelerator : command_table::accelerators()) {
        auto* shortcut = new QShortcut(accelerator.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = accelerator.command;
        connect(shortcut, &QShortcut::activated, this, [this, id] { router_->dispatch(id); });
    }
}

void MainWindow::build_search_box() {
    search_box_ = new SearchBox(toolbar_);
    toolbar_->addWidget(search_box_);
    connect(search_box_, &QLineEdit::textChanged, list_, &RecordList::search_for);
    connect(search_box_, &SearchBox::results_wanted, this, &MainWindow::show_results);
    connect(list_, &RecordList::search_cancelled, search_box_, &QLineEdit::clear);
    // Choosing a category ends the search, even the category already selected. A reload of the
    // tree (after a drop, an import) selects without these signals, so the search stays on.
    connect(tree_, &QTreeWidget::currentItemChanged, search_box_, &QLineEdit::clear);
    connect(tree_, &QTreeWidget::itemClicked, search_box_, &QLineEdit::clear);
    // A locked vault has nothing to search.
    connect(locker_, &VaultLocker::locked_changed, search_box_, &QWidget::setDisabled);
}

void MainWindow::focus_search_box() {
    // Rather than a Ctrl+F that does nothing, a hidden toolbar comes back with its field.
    if (toolbar_->isHidden()) toolbar_->show();
    search_box_->take_focus();
}

void MainWindow::show_results() {
    set_active_pane(list_);
    QAbstractItemView& view = list_->current_view();
    view.setFocus(Qt::OtherFocusReason);
    // The first result is picked, so that Ctrl+C copies its password straight away.
    if (!view.currentIndex().isValid() && list_->row_count() > 0) {
        view.setCurrentIndex(view.model()->index(0, 0));
    }
}

CommandTarget* MainWindow::active_pane() const { return active_pane_; }

void MainWindow::set_active_pane(CommandTarget* pane) {
    if (active_pane_ == pane) return;
    active_pane_ = pane;
    router_->update_actions();
}

void MainWindow::switch_pane() {
    if (active_pane_ == tree_) {
        set_active_pane(list_);
        list_->current_view().setFocus(Qt::OtherFocusReason);
    } else {
        set_active_pane(tree_);
        tree_->setFocus(Qt::OtherFocusReason);
    }
}

bool MainWindow::has_tray() const { return tray_icon_->available(); }

void MainWindow::hide_to_tray() {
    // Asked afresh: the last poll may predate a notification area that has just gone.
    tray_icon_->check_availability();
    if (!has_tray()) {
        // Without a notification area a hidden window could never come back.
        showMinimized();
        return;
    }
    tray_icon_->refresh();
    hide();
    window_shown_ = false;
}

void MainWindow::restore_from_tray() {
    // A window minimised while there was no notification area would come back as an icon.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    window_shown_ = true;
}

void MainWindow::follow_tray(bool available) {
    if (!available && !window_shown_) restore_from_tray();
}

bool MainWindow::forwards_to_list(int id) const {
    // The view commands and the framework's 新建 belong to the record list even when the tree is
    // active.
    static const QSet<int> list_commands = {
        res::kCmdFileNew,     res::kCmdViewSmallIcons, res::kCmdViewLargeIcons, res::kCmdViewList,
        res::kCmdViewDetails, res::kCmdViewArrange,    res::kCmdViewSort,
    };
    return list_commands.contains(id) && list_->handles_command(id);
}

bool MainWindow::float_visible() const { return !float_follower_ || float_follower_->wanted(); }

void MainWindow::hold_back_float_window(bool held) {
    if (float_follower_) float_follower_->set_held_back(held);
}

void MainWindow::toggle_float_window() {
    if (float_follower_) float_follower_->set_wanted(!float_follower_->wanted());
}

void MainWindow::write_collected_record() {
    if (!float_window_) return;
    const VaultRecord texts = float_window_->collected();
    // Emptied whatever the insert's outcome, so a failure does not write the texts twice.
    float_window_->clear_collected();
    list_->insert_collected_record(texts);
}

void MainWindow::change_password() {
    ChangePasswordDialog dialog;
    if (run_modal(dialog) != QDialog::Accepted) return;
    if (Status changed = session_.change_master_password(dialog.new_password()); !changed) {
        show_message(this, changed.error(), error_caption());
    }
}

void MainWindow::edit_options() {
    OptionsDialog dialog(settings_, this);
    if (run_modal(dialog) != QDialog::Accepted) return;
    dialog.store();
    apply_settings();
}

void MainWindow::apply_settings() {
    clearer_->set_delay_seconds(settings_.clipboard_clear_seconds());
    apply_lock_settings();
}

void MainWindow::apply_vault_change(const VaultChange& change) {
    // A tree reload selects the root and so refills the list as well.
    if (change.categories) {
        tree_->reload();
    } else if (change.records) {
        tree_->show_selected_category();
    }
}

void MainWindow::choose_look(int mode) {
    if (!VisualStyle::apply_look(mode)) return;
    style_mode_ = mode;
    // Draw the whole window in the new look now rather than piece by piece as it repaints.
    repaint();
}

// The frame's own commands and their handlers; one table answers both whether the frame takes a
// command and what it does, so the two can never disagree.
const QHash<int, MainWindow::FrameHandler>& MainWindow::frame_handlers() {
    static const QHash<int, FrameHandler> table = {
        {res::kCmdNew, [](MainWindow& f) { f.tree_->on_new_category(); }},
        {res::kCmdRefresh, [](MainWindow&) {}},  // nothing to refresh in the tree
        {res::kCmdExit, [](MainWindow& f) { emit f.exit_requested(); }},
        {res::kCmdLock, [](MainWindow& f) { f.locker_->lock(); }},
        {res::kCmdClearClipboard,
         [](MainWindow& f) {
             clear_clipboard();
             // Nothing is left to count down.
             f.clearer_->clear_now();
         }},
        {res::kCmdHideToTray, [](MainWindow& f) { f.hide_to_tray(); }},
        {res::kCmdViewToolbar,
         [](MainWindow& f) { f.toolbar_->setVisible(!f.toolbar_->isVisible()); }},
        {res::kCmdViewStatusBar,
         [](MainWindow& f) { f.statusBar()->setVisible(!f.statusBar()->isVisible()); }},
        {res::kCmdNextPane, [](MainWindow& f) { f.switch_pane(); }},
        {res::kCmdPrevPane, [](MainWindow& f) { f.switch_pane(); }},
        {res::kCmdPasswordGenerator, [](MainWindow&) { show_password_generator(nullptr); }},
        {res::kCmdToggleFloat, [](MainWindow& f) { f.toggle_float_window(); }},
        {res::kCmdWriteCollected, [](MainWindow& f) { f.write_collected_record(); }},
        {res::kCmdChangePassword, [](MainWindow& f) { f.change_password(); }},
        {res::kCmdChangePasswordAlt, [](MainWindow& f) { f.change_password(); }},
        {res::kCmdOptions, [](MainWindow& f) { f.edit_options(); }},
        {res::kCmdExportCsv, [](MainWindow& f) { export_csv(&f, f.session_); }},
        {res::kCmdExportBackup, [](MainWindow& f) { export_backup(&f, f.session_); }},
        {res::kCmdEncryptFile, [](MainWindow& f) { encrypt_file_tool(&f, f.session_); }},
        {res::kCmdImport,
         [](MainWindow& f) { f.apply_vault_change(import_records(&f, f.session_)); }},
        {res::kCmdSync, [](MainWindow& f) { f.apply_vault_change(sync_records(&f, f.session_)); }},
        {res::kCmdFind, [](MainWindow& f) { f.focus_search_box(); }},
    };
    return table;
}

bool MainWindow::handles_command(int id) const {
    // The second id of 修改密码 has always been taken only while the record list is the active
    // pane; with the tree active no target has it and it shows disabled.
    if (id == res::kCmdChangePasswordAlt) return active_pane_ == list_;
    return forwards_to_list(id) || VisualStyle::mode_for_command(id) != 0 ||
           frame_handlers().contains(id);
}

void MainWindow::execute_command(int id) {
    if (forwards_to_list(id)) {
        list_->execute_command(id == res::kCmdFileNew ? res::kCmdNew : id);
        return;
    }
    if (const int look = VisualStyle::mode_for_command(id)) {
        choose_look(look);
        return;
    }
    if (FrameHandler handler = frame_handlers().value(id)) handler(*this);
}

void MainWindow::update_command(int id, CommandState& state) const {
    if (forwards_to_list(id)) {
        list_->update_command(id, state);
        return;
    }
    if (const int look = VisualStyle::mode_for_command(id)) {
        // The look actually shown, which differs from style_mode_ after a stored number that
        // names no look.
        state.checkable = true;
        state.checked = VisualStyle::look_in_force() == look;
        return;
    }
    if (id == res::kCmdViewToolbar) {
        state.checkable = true;
        state.checked = toolbar_ && !toolbar_->isHidden();
    } else if (id == res::kCmdViewStatusBar) {
        state.checkable = true;
        state.checked = !statusBar()->isHidden();
    } else if (id == res::kCmdToggleFloat) {
        state.checkable = true;
        state.checked = float_visible();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing only puts the program away; 退出 ends it.
    event->ignore();
    hide_to_tray();
}

bool MainWindow::opens_bar_menu(const QWidget* clicked) const {
    for (const QWidget* w = clicked; w && w != this; w = w->parentWidget()) {
        if (w == splitter_ || w == statusBar()) return true;
    }
    return false;
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The toolbar and the menu bar keep Qt's own menu, the list that shows or hides the toolbar.
    if (!opens_bar_menu(childAt(event->pos()))) {
        QMainWindow::contextMenuEvent(event);
        return;
    }
    std::unique_ptr<QMenu> menu = build_popup_menu(*router_, res::kCategoryMenu);
    router_->exec_popup(*menu, nullptr, event->globalPos());
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!splitter_sized_) {
        splitter_sized_ = true;
        splitter_->setSizes(
            {kTreeWidth, std::max(1, splitter_->width() - kTreeWidth - kSplitterBar)});
    }
}

void MainWindow::forget_vault_view() {
    secure_wipe(locked_category_);
    locked_category_ = tree_->selected_category();
    // Only the password this program put there; whatever the user copied since is theirs.
    clearer_->clear_now();
    hold_back_float_window(true);
    if (float_window_) float_window_->clear_collected();
    // The search says what the user was looking for; setText, unlike clear, leaves no undo.
    search_box_->setText(QString());
    tree_->empty();
    list_->clear_shown();
}

void MainWindow::restore_vault_view() {
    // The category chosen at the lock is selected by the reload itself if it is still there,
    // else the root: one fill of the list, in the mode it had, instead of one for the root and
    // another for the category.
    tree_->reload_selecting(locked_category_);
    secure_wipe(locked_category_);
    hold_back_float_window(false);
}

void MainWindow::show_lock_panel(QWidget& panel) {
    // Taken out, not replaced: setCentralWidget() would delete the panes.
    locked_content_ = takeCentralWidget();
    if (locked_content_) {
        locked_content_->setParent(&panel);
        locked_content_->hide();
    }
    setCentralWidget(&panel);
    panel.show();
}

void MainWindow::show_vault_content() {
    QWidget* panel = takeCentralWidget();
    if (panel) {
        panel->setParent(this);
        panel->hide();
    }
    if (locked_content_) {
        setCentralWidget(locked_content_);
        locked_content_->show();
        locked_content_ = nullptr;
    }
}

void MainWindow::update_commands() { router_->update_actions(); }

}  // namespace korvane

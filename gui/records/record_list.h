// SPDX-License-Identifier: GPL-3.0-or-later
// RecordList: the record list, the right pane. Shows the records of the category the main window
// hands it in one of four modes and runs the record commands.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "gui/commands/command_target.h"
#include "vault/result.h"
#include "vault/vault_record.h"

class QAbstractItemView;
class QItemSelectionModel;
class QShortcut;
class QStackedWidget;

namespace korvane {

class VaultSession;
class ClipboardClearer;
class CommandRouter;
class RecordListModel;
class RecordIconView;
class RecordDetailsView;

class RecordList : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    enum class ViewMode { LargeIcons, SmallIcons, List, Details };

    // A copied password goes through clearer, which takes it off the clipboard again.
    RecordList(VaultSession& session, CommandRouter& router, ClipboardClearer& clearer,
               QWidget* parent = nullptr);

    // Rebuilds the list for a category given as its stored bytes; empty means the root view.
    void fill_list(const std::string& category);
    // Takes the stored bytes of the tree's selected item (the root's label for the root, empty
    // for none) as the category of new and edited records, and shows that category's records
    // (or, while a search is on, the search's results again).
    void show_category(const std::string& selected);
    // Shows every record, whatever its category, whose title, account or remark contains text,
    // with a 类别 column in details mode; an empty text ends the search and shows the tree's
    // category again.
    void search_for(const QString& text);
    bool searching() const { return !search_text_.isEmpty(); }
    // Empties the list and forgets the category it was handed: nothing of a locked vault stays.
    void clear_shown();

    void on_new_record();
    void on_edit_record();
    void on_delete_records();
    void on_copy_password();
    void on_refresh();
    void on_view_mode(int command);
    // Writes a record from texts collected elsewhere into the tree's selected category.
    void insert_collected_record(const VaultRecord& texts);

    ViewMode view_mode() const { return mode_; }
    RecordListModel& model() { return *model_; }
    QItemSelectionModel& selection_model();
    // The item view showing the records in the current mode.
    QAbstractItemView& current_view();
    int row_count() const;

    // CommandTarget
    bool handles_command(int id) const override;
    void execute_command(int id) override;
    void update_command(int id, CommandState& state) const override;

signals:
    // The user pressed in the list: it becomes the active pane.
    void activated();
    // Records were written or the user asked for a refresh: the selected category is to be
    // shown again, through the tree, which hands it back with show_category.
    void records_changed();
    // Esc in the list while it shows search results: the search is to end.
    void search_cancelled();

private:
    void show_context_menu(const QPoint& global_pos);
    void set_view_mode(ViewMode mode);
    // Fills the list with the search's results, or the tree's category when no search is on.
    void refill();
    void fill_search_results();
    void show_category_column(bool shown);
    // The selected rows in model order, whichever view made the selection.
    std::vector<int> selected_rows() const;
    // Shows a failed statement's message; true when it succeeded.
    bool report(const Status& status);
    template <typename T>
    bool report(const Result<T>& result) {
        return result.ok() || report(Status(make_error(result.error())));
    }
    // Runs the record editor with a GBK caption on shown; the texts on Save, nothing otherwise.
    std::optional<VaultRecord> run_record_editor(const char* caption, const VaultRecord& shown);

    VaultSession& session_;
    CommandRouter& router_;
    ClipboardClearer& clearer_;
    RecordListModel* model_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    RecordIconView* icon_view_ = nullptr;
    RecordDetailsView* details_view_ = nullptr;
    ViewMode mode_ = ViewMode::LargeIcons;
    // The tree's selection as last handed over; empty while no tree ever said one.
    std::string selected_category_;
    QString search_text_;
    QShortcut* cancel_search_ = nullptr;
};

}  // namespace korvane

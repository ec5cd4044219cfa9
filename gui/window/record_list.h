// RecordList: the record list, the right pane. Shows the records of the tree's selected
// category in one of four modes and runs the record commands.
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "gui/window/command_target.h"
#include "gui/window/float_window.h"
#include "vault/result.h"
#include "vault/vault_record.h"

class QAbstractItemView;
class QItemSelectionModel;
class QStackedWidget;

namespace korvane {

class VaultSession;
class CategoryTree;
class CommandRouter;
class RecordListModel;
class RecordIconView;
class RecordDetailsView;
struct VaultChange;

class RecordList : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    enum class ViewMode { LargeIcons, SmallIcons, List, Details };

    RecordList(VaultSession& doc, CommandRouter& router, QWidget* parent = nullptr);
    ~RecordList() override;

    void set_category_tree(CategoryTree* tree) { tree_ = tree; }

    // First fill (root view). The first call also creates and shows the floating window,
    // owned by the main window this view sits in.
    void initial_update();
    // Rebuilds the list for a category given as its stored bytes; empty means the root view.
    void fill_list(const std::string& category);

    void on_new_record();
    void on_edit_record();
    void on_delete_records();
    void on_copy_password();
    void on_refresh();
    void on_view_mode(int command);
    void on_change_password();
    void on_export_csv();
    void on_export_backup();
    void on_import();
    void on_sync();
    void on_encrypt_file();
    // Writes a record from texts collected elsewhere into the tree's selected category.
    void insert_collected_record(const VaultRecord& texts);
    // The floating window; null before the first initial update.
    FloatWindow* float_window() const { return float_window_; }

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

private:
    void show_context_menu(const QPoint& global_pos);
    void set_view_mode(ViewMode mode);
    std::string selected_category() const;
    void refresh_through_tree();
    // Reloads the tree after categories changed, else refills the list after records did.
    void apply_vault_change(const VaultChange& change);
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
    CategoryTree* tree_ = nullptr;
    RecordListModel* model_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    RecordIconView* icon_view_ = nullptr;
    RecordDetailsView* details_view_ = nullptr;
    ViewMode mode_ = ViewMode::LargeIcons;
    // Guarded: the main window may destroy its children before this view.
    QPointer<FloatWindow> float_window_;
    bool first_update_ = true;
};

}  // namespace korvane

// CVellView: the record list's views, its fill from the vault and its record commands.
#include "ui/cvell_view.h"

#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "auth/change_password_dialog.h"
#include "resources/resource_ids.h"
#include "tools/dialogs/tool_commands.h"
#include "ui/base/clipboard.h"
#include "ui/base/message_box.h"
#include "ui/base/program_state.h"
#include "ui/base/run_modal.h"
#include "ui/cleft_view.h"
#include "ui/command_router.h"
#include "ui/delete_confirm_dialog.h"
#include "ui/float_window.h"
#include "ui/menu_builder.h"
#include "ui/record_details_view.h"
#include "ui/record_editor_dialog.h"
#include "ui/record_icon_view.h"
#include "ui/record_list_model.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {

namespace {

// "是否删除  " in GBK; the title's own bytes follow it unconverted.
constexpr char kDeleteQuestion[] = "\xca\xc7\xb7\xf1\xc9\xbe\xb3\xfd  ";

}  // namespace

CVellView::CVellView(VaultSession& doc, CommandRouter& router, QWidget* parent)
    : QWidget(parent), doc_(doc), router_(router) {
    model_ = new RecordListModel(this);
    // One selection model for both views, so that a mode switch keeps the selection.
    selection_ = new QItemSelectionModel(model_, this);

    icon_view_ = new RecordIconView(this);
    icon_view_->setModel(model_);
    icon_view_->setSelectionModel(selection_);

    details_view_ = new RecordDetailsView(this);
    details_view_->setModel(model_);
    details_view_->setSelectionModel(selection_);
    for (int column = 0; column < RecordListModel::ColumnCount; ++column) {
        details_view_->header()->resizeSection(column, RecordListModel::column_width(column));
    }

    stack_ = new QStackedWidget(this);
    stack_->addWidget(icon_view_);
    stack_->addWidget(details_view_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    setFocusProxy(icon_view_);

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(icon_view_),
                                    static_cast<QAbstractItemView*>(details_view_)}) {
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            show_context_menu(view->viewport()->mapToGlobal(pos));
        });
    }
    connect(icon_view_, &RecordIconView::pane_activated, this, &CVellView::activated);
    connect(details_view_, &RecordDetailsView::pane_activated, this, &CVellView::activated);
    connect(icon_view_, &RecordIconView::double_clicked, this, &CVellView::on_edit_record);
    connect(details_view_, &RecordDetailsView::double_clicked, this, &CVellView::on_edit_record);

    set_view_mode(ViewMode::LargeIcons);
}

// The floating window lives exactly as long as the list, though the main window is its parent.
CVellView::~CVellView() { delete float_window_.data(); }

QItemSelectionModel& CVellView::selection_model() { return *selection_; }

QAbstractItemView& CVellView::current_view() {
    if (mode_ == ViewMode::Details) return *details_view_;
    return *icon_view_;
}

int CVellView::row_count() const { return model_->rowCount(); }

void CVellView::initial_update() {
    if (first_update_) {
        first_update_ = false;
        QWidget* owner = window();
        float_window_ = new FloatWindow(router_, owner);
        // Over the top-left corner of the main window's client area.
        float_window_->move(owner->geometry().topLeft());
        float_window_->show();
    }
    fill_list({});
}

void CVellView::fill_list(const std::string& category) {
    Result<std::vector<RecordSummary>> rows =
        category.empty() ? statements::list_root_records(doc_.db())
                         : statements::list_records_of_category(doc_.db(), category);
    if (!rows) {
        model_->clear();
        show_message(this, rows.error(), error_caption());
        return;
    }
    model_->set_rows(std::move(rows).value());
}

std::vector<int> CVellView::selected_rows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection_->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::string CVellView::selected_category() const {
    return tree_ ? tree_->selected_category() : std::string();
}

void CVellView::refresh_through_tree() {
    if (tree_) {
        tree_->show_selected_category();
    } else {
        fill_list({});
    }
}

bool CVellView::report(const Status& status) {
    if (status) return true;
    show_message(this, status.error(), error_caption());
    return false;
}

void CVellView::on_copy_password() {
    const QModelIndex mark = selection_->currentIndex();
    if (!mark.isValid()) {
        show_message(this, QStringLiteral("你没有选中任何项"), plain_error_caption(),
                     MessageButtons::Ok);
        return;
    }
    Result<std::string> password =
        statements::record_password(doc_.db(), model_->oid_at(mark.row()));
    if (!password) {
        show_message(this, password.error(), error_caption());
        return;
    }
    put_text_on_clipboard(text::from_gbk(*password));
}

void CVellView::on_refresh() { refresh_through_tree(); }

std::optional<VaultRecord> CVellView::run_record_editor(const char* caption,
                                                        const VaultRecord& shown) {
    RecordEditorDialog dialog;
    dialog.set_caption(caption);
    dialog.set_title(shown.title);
    dialog.set_account(shown.account);
    dialog.set_password(shown.password);
    dialog.set_remark(shown.remark);
    if (run_modal(dialog) != QDialog::Accepted) return std::nullopt;
    return VaultRecord{dialog.title(), dialog.account(), dialog.password(), dialog.remark(), {}};
}

void CVellView::on_new_record() {
    if (std::optional<VaultRecord> record =
            run_record_editor(RecordEditorDialog::kNewRecordCaption, {})) {
        record->category = selected_category();
        report(statements::insert_record(doc_.db(), *record));
    }
    refresh_through_tree();
}

void CVellView::on_edit_record() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) {
        on_new_record();
        return;
    }
    const RecordId oid = model_->oid_at(rows.front());
    Result<std::optional<VaultRecord>> stored = statements::load_record(doc_.db(), oid);
    if (!stored) {
        show_message(this, stored.error(), error_caption());
        refresh_through_tree();
        return;
    }
    const VaultRecord shown = stored->value_or(VaultRecord{});
    if (std::optional<VaultRecord> record =
            run_record_editor(RecordEditorDialog::kModifyRecordCaption, shown)) {
        // Saving moves the record into the category selected in the tree.
        record->category = selected_category();
        report(statements::update_record(doc_.db(), oid, *record));
    }
    refresh_through_tree();
}

void CVellView::on_delete_records() {
    if (!selection_->currentIndex().isValid()) return;
    DeleteConfirmDialog dialog;
    bool yes_to_all = false;
    // The rows are taken before anything is deleted; the list is refilled only at the end.
    for (int row : selected_rows()) {
        // A quit ends the run of questions; the records not yet answered for are kept.
        if (program_quitting()) break;
        const RecordId oid = model_->oid_at(row);
        if (!yes_to_all) {
            dialog.set_message(kDeleteQuestion + model_->row(row).title);
            run_modal(dialog);
            const DeleteAnswer answer = dialog.answer();
            if (answer == DeleteAnswer::cancel) break;
            if (answer == DeleteAnswer::no) continue;
            if (answer == DeleteAnswer::yes_to_all) yes_to_all = true;
        }
        if (!report(statements::delete_record(doc_.db(), oid))) break;
    }
    refresh_through_tree();
}

void CVellView::on_change_password() {
    ChangePasswordDialog dialog;
    if (run_modal(dialog) != QDialog::Accepted) return;
    report(doc_.change_master_password(dialog.new_password()));
}

void CVellView::insert_collected_record(const VaultRecord& texts) {
    VaultRecord record = texts;
    record.category = selected_category();
    report(statements::insert_record(doc_.db(), record));
    refresh_through_tree();
}

void CVellView::set_view_mode(ViewMode mode) {
    mode_ = mode;
    switch (mode) {
        case ViewMode::LargeIcons:
            icon_view_->set_layout(RecordIconView::Layout::LargeIcons);
            break;
        case ViewMode::SmallIcons:
            icon_view_->set_layout(RecordIconView::Layout::SmallIcons);
            break;
        case ViewMode::List:
            icon_view_->set_layout(RecordIconView::Layout::List);
            break;
        case ViewMode::Details:
            // The icon views select the title cell only; details shows whole rows selected.
            selection_->select(selection_->selection(),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
            break;
    }
    QAbstractItemView& shown = current_view();
    const bool had_focus = stack_->currentWidget() && stack_->currentWidget()->hasFocus();
    stack_->setCurrentWidget(&shown);
    setFocusProxy(&shown);
    if (had_focus) shown.setFocus(Qt::OtherFocusReason);
    if (selection_->currentIndex().isValid()) shown.scrollTo(selection_->currentIndex());
}

void CVellView::on_view_mode(int command) {
    switch (command) {
        case res::kCmdViewSmallIcons:
            set_view_mode(ViewMode::SmallIcons);
            break;
        case res::kCmdViewLargeIcons:
            set_view_mode(ViewMode::LargeIcons);
            break;
        case res::kCmdViewList:
            set_view_mode(ViewMode::List);
            break;
        case res::kCmdViewDetails:
            set_view_mode(ViewMode::Details);
            break;
        case res::kCmdViewArrange:
            if (mode_ == ViewMode::LargeIcons || mode_ == ViewMode::SmallIcons)
                icon_view_->arrange();
            break;
        default:
            break;  // 59413 is accepted and does nothing
    }
}

void CVellView::on_export_csv() { export_csv(this, doc_); }

void CVellView::on_export_backup() { export_backup(this, doc_); }

void CVellView::on_encrypt_file() { encrypt_file_tool(this, doc_); }

void CVellView::on_import() { apply_vault_change(import_records(this, doc_)); }

void CVellView::on_sync() { apply_vault_change(sync_records(this, doc_)); }

void CVellView::apply_vault_change(const VaultChange& change) {
    if (!tree_) return;
    // A tree reload selects the root and so refills the list as well.
    if (change.categories) {
        tree_->reload();
    } else if (change.records) {
        tree_->show_selected_category();
    }
}

void CVellView::show_context_menu(const QPoint& global_pos) {
    std::unique_ptr<QMenu> menu = build_popup_menu(router_, res::kRecordListMenu);
    if (menu) router_.exec_popup(*menu, this, global_pos);
}

namespace {

// The record list's commands and their handlers; one table serves both the routing question
// and the call, so the two can never disagree.
using ListHandler = void (*)(CVellView&, int);
const QHash<int, ListHandler>& list_handlers() {
    static const QHash<int, ListHandler> table = {
        {res::kCmdNew, [](CVellView& v, int) { v.on_new_record(); }},
        {res::kCmdFileNew, [](CVellView& v, int) { v.on_new_record(); }},
        {res::kCmdDelete, [](CVellView& v, int) { v.on_delete_records(); }},
        {res::kCmdCopy, [](CVellView& v, int) { v.on_copy_password(); }},
        {res::kCmdRefresh, [](CVellView& v, int) { v.on_refresh(); }},
        {res::kCmdChangePassword, [](CVellView& v, int) { v.on_change_password(); }},
        {res::kCmdChangePasswordAlt, [](CVellView& v, int) { v.on_change_password(); }},
        {res::kCmdExportCsv, [](CVellView& v, int) { v.on_export_csv(); }},
        {res::kCmdExportBackup, [](CVellView& v, int) { v.on_export_backup(); }},
        {res::kCmdImport, [](CVellView& v, int) { v.on_import(); }},
        {res::kCmdSync, [](CVellView& v, int) { v.on_sync(); }},
        {res::kCmdEncryptFile, [](CVellView& v, int) { v.on_encrypt_file(); }},
        {res::kCmdViewSmallIcons, [](CVellView& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewLargeIcons, [](CVellView& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewList, [](CVellView& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewDetails, [](CVellView& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewArrange, [](CVellView& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewSort, [](CVellView& v, int id) { v.on_view_mode(id); }},
    };
    return table;
}

}  // namespace

bool CVellView::handles_command(int id) const { return list_handlers().contains(id); }

void CVellView::execute_command(int id) {
    if (ListHandler handler = list_handlers().value(id)) handler(*this, id);
}

void CVellView::update_command(int id, CommandState& state) const {
    const auto radio_for = [this](int command) {
        switch (command) {
            case res::kCmdViewSmallIcons:
                return mode_ == ViewMode::SmallIcons;
            case res::kCmdViewLargeIcons:
                return mode_ == ViewMode::LargeIcons;
            case res::kCmdViewList:
                return mode_ == ViewMode::List;
            default:
                return mode_ == ViewMode::Details;
        }
    };
    switch (id) {
        case res::kCmdViewSmallIcons:
        case res::kCmdViewLargeIcons:
        case res::kCmdViewList:
        case res::kCmdViewDetails:
            state.radio = radio_for(id);
            break;
        case res::kCmdViewArrange:
            state.enabled = mode_ == ViewMode::LargeIcons || mode_ == ViewMode::SmallIcons;
            break;
        default:
            break;
    }
}

}  // namespace korvane

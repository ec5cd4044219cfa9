// SPDX-License-Identifier: GPL-3.0-or-later
// RecordList: the record list's views, its fill from the vault and its record commands.
#include "gui/records/record_list.h"

#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/commands/command_router.h"
#include "gui/commands/menu_builder.h"
#include "gui/common/message_box.h"
#include "gui/common/program_state.h"
#include "gui/common/run_modal.h"
#include "gui/editor/delete_confirm_dialog.h"
#include "gui/editor/record_editor_dialog.h"
#include "gui/records/record_details_view.h"
#include "gui/records/record_icon_view.h"
#include "gui/records/record_list_model.h"
#include "platform/clipboard_clearer.h"
#include "resources/resource_ids.h"
#include "vault/record_search.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {

namespace {

// "是否删除  " in GBK; the title's own bytes follow it unconverted.
constexpr char kDeleteQuestion[] = "\xca\xc7\xb7\xf1\xc9\xbe\xb3\xfd  ";

}  // namespace

RecordList::RecordList(VaultSession& session, CommandRouter& router, ClipboardClearer& clearer,
                       QWidget* parent)
    : QWidget(parent), session_(session), router_(router), clearer_(clearer) {
    model_ = new RecordListModel(this);
    model_->set_remark_source([this](RecordId oid) {
        // A tooltip without its remark says less, but a failed read is no reason for a message
        // box under the pointer.
        Result<std::string> remark = statements::record_remark(session_.db(), oid);
        return remark ? std::move(remark).value() : std::string();
    });
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
    // Beside the title, where it is seen without scrolling past the wide remark.
    details_view_->header()->moveSection(RecordListModel::CategoryColumn, 1);
    show_category_column(false);

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
    connect(icon_view_, &RecordIconView::pane_activated, this, &RecordList::activated);
    connect(details_view_, &RecordDetailsView::pane_activated, this, &RecordList::activated);
    connect(icon_view_, &RecordIconView::double_clicked, this, &RecordList::on_edit_record);
    connect(details_view_, &RecordDetailsView::double_clicked, this, &RecordList::on_edit_record);

    // Enabled only while results are shown; otherwise Esc stays the views' own key.
    cancel_search_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancel_search_->setContext(Qt::WidgetWithChildrenShortcut);
    cancel_search_->setEnabled(false);
    connect(cancel_search_, &QShortcut::activated, this, &RecordList::search_cancelled);

    set_view_mode(ViewMode::LargeIcons);
}

QItemSelectionModel& RecordList::selection_model() { return *selection_; }

QAbstractItemView& RecordList::current_view() {
    if (mode_ == ViewMode::Details) return *details_view_;
    return *icon_view_;
}

int RecordList::row_count() const { return model_->rowCount(); }

void RecordList::fill_list(const std::string& category) {
    SqliteDb& db = session_.db();
    const Status filled =
        model_->set_rows_from([&db, &category](const statements::SummaryVisitor& visit) {
            return category.empty() ? statements::for_each_root_record(db, visit)
                                    : statements::for_each_record_of_category(db, category, visit);
        });
    if (!filled) show_message(this, filled.error(), error_caption());
}

std::vector<int> RecordList::selected_rows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection_->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void RecordList::show_category(const std::string& selected) {
    selected_category_ = selected;
    refill();
}

// A search still in the field outlives a fresh fill, so the list keeps matching it.
void RecordList::refill() {
    if (searching()) {
        fill_search_results();
        return;
    }
    // An item named like the root, the root itself and no selection all show the root view.
    fill_list(selected_category_ == kRootCategory ? std::string() : selected_category_);
}

void RecordList::search_for(const QString& text) {
    const bool was_searching = searching();
    search_text_ = text;
    if (searching() != was_searching) {
        show_category_column(searching());
        cancel_search_->setEnabled(searching());
    }
    refill();
}

void RecordList::fill_search_results() {
    Result<std::vector<RecordMatch>> found = search::find_records(session_.db(), search_text_);
    if (!found) {
        model_->clear();
        show_message(this, found.error(), error_caption());
        return;
    }
    model_->set_found_rows(*found);
}

void RecordList::show_category_column(bool shown) {
    details_view_->setColumnHidden(RecordListModel::CategoryColumn, !shown);
}

void RecordList::clear_shown() {
    model_->clear();
    secure_wipe(selected_category_);
}

bool RecordList::report(const Status& status) {
    if (status) return true;
    show_message(this, status.error(), error_caption());
    return false;
}

void RecordList::on_copy_password() {
    const QModelIndex mark = selection_->currentIndex();
    if (!mark.isValid()) {
        show_message(this, QStringLiteral("你没有选中任何项"), plain_error_caption(),
                     MessageButtons::Ok);
        return;
    }
    Result<std::string> password =
        statements::record_password(session_.db(), model_->oid_at(mark.row()));
    if (!password) {
        show_message(this, password.error(), error_caption());
        return;
    }
    QString shown = text::from_gbk(*password);
    clearer_.put(shown);
    secure_wipe(shown);
    secure_wipe(*password);
}

void RecordList::on_refresh() { emit records_changed(); }

std::optional<VaultRecord> RecordList::run_record_editor(const char* caption,
                                                         const VaultRecord& shown) {
    RecordEditorDialog dialog;
    dialog.set_clipboard_clearer(clearer_);
    dialog.set_caption(caption);
    dialog.set_title(shown.title);
    dialog.set_account(shown.account);
    dialog.set_password(shown.password);
    dialog.set_remark(shown.remark);
    if (run_modal(dialog) != QDialog::Accepted) return std::nullopt;
    return VaultRecord{dialog.title(), dialog.account(), dialog.password(), dialog.remark(), {}};
}

void RecordList::on_new_record() {
    if (std::optional<VaultRecord> record =
            run_record_editor(RecordEditorDialog::kNewRecordCaption, {})) {
        record->category = selected_category_;
        report(statements::insert_record(session_.db(), *record));
    }
    emit records_changed();
}

void RecordList::on_edit_record() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) {
        on_new_record();
        return;
    }
    const RecordId oid = model_->oid_at(rows.front());
    Result<std::optional<VaultRecord>> stored = statements::load_record(session_.db(), oid);
    if (!stored) {
        show_message(this, stored.error(), error_caption());
        emit records_changed();
        return;
    }
    const VaultRecord shown = stored->value_or(VaultRecord{});
    if (std::optional<VaultRecord> record =
            run_record_editor(RecordEditorDialog::kModifyRecordCaption, shown)) {
        // Saving moves the record into the category selected in the tree; a found record, which
        // may come from any category, stays where it is.
        record->category = searching() ? shown.category : selected_category_;
        report(statements::update_record(session_.db(), oid, *record));
    }
    emit records_changed();
}

void RecordList::on_delete_records() {
    if (!selection_->currentIndex().isValid()) return;
    DeleteConfirmDialog dialog;
    bool yes_to_all = false;
    // The rows are taken before anything is deleted; the list is refilled only at the end.
    for (int row : selected_rows()) {
        // A quit or a lock ends the run of questions; the records not yet answered for are kept.
        if (program_quitting() || dialogs_withdrawn()) break;
        const RecordId oid = model_->oid_at(row);
        if (!yes_to_all) {
            dialog.set_message(kDeleteQuestion + std::string(model_->title_at(row)));
            run_modal(dialog);
            const DeleteAnswer answer = dialog.answer();
            if (answer == DeleteAnswer::cancel) break;
            if (answer == DeleteAnswer::no) continue;
            if (answer == DeleteAnswer::yes_to_all) yes_to_all = true;
        }
        if (!report(statements::delete_record(session_.db(), oid))) break;
    }
    emit records_changed();
}

void RecordList::insert_collected_record(const VaultRecord& texts) {
    VaultRecord record = texts;
    record.category = selected_category_;
    report(statements::insert_record(session_.db(), record));
    emit records_changed();
}

void RecordList::set_view_mode(ViewMode mode) {
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

void RecordList::on_view_mode(int command) {
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
            break;  // res::kCmdViewSort is accepted and does nothing
    }
}

void RecordList::show_context_menu(const QPoint& global_pos) {
    std::unique_ptr<QMenu> menu = build_popup_menu(router_, res::kRecordListMenu);
    if (menu) router_.exec_popup(*menu, this, global_pos);
}

namespace {

// The record list's commands and their handlers; one table serves both the routing question
// and the call, so the two can never disagree.
using ListHandler = void (*)(RecordList&, int);
const QHash<int, ListHandler>& list_handlers() {
    static const QHash<int, ListHandler> table = {
        {res::kCmdNew, [](RecordList& v, int) { v.on_new_record(); }},
        {res::kCmdFileNew, [](RecordList& v, int) { v.on_new_record(); }},
        {res::kCmdDelete, [](RecordList& v, int) { v.on_delete_records(); }},
        {res::kCmdCopy, [](RecordList& v, int) { v.on_copy_password(); }},
        {res::kCmdRefresh, [](RecordList& v, int) { v.on_refresh(); }},
        {res::kCmdViewSmallIcons, [](RecordList& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewLargeIcons, [](RecordList& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewList, [](RecordList& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewDetails, [](RecordList& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewArrange, [](RecordList& v, int id) { v.on_view_mode(id); }},
        {res::kCmdViewSort, [](RecordList& v, int id) { v.on_view_mode(id); }},
    };
    return table;
}

}  // namespace

bool RecordList::handles_command(int id) const { return list_handlers().contains(id); }

void RecordList::execute_command(int id) {
    if (ListHandler handler = list_handlers().value(id)) handler(*this, id);
}

void RecordList::update_command(int id, CommandState& state) const {
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

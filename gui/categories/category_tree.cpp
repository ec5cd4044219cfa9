// SPDX-License-Identifier: GPL-3.0-or-later
// CategoryTree: category tree, its commands and the drop of a dragged record.
#include "gui/categories/category_tree.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidgetItemIterator>

#include "gui/categories/category_name_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"
#include "gui/records/record_drag.h"
#include "platform/clipboard.h"
#include "resources/resource_ids.h"
#include "vault/text.h"
#include "vault/vault_session.h"
#include "vault/vault_statements.h"

namespace korvane {
namespace {

constexpr int kCategoryBytesRole = Qt::UserRole + 1;  // the name exactly as stored
constexpr int kRootData = -1;

QString root_label() { return text::from_gbk(kRootCategory); }

}  // namespace

CategoryTree::CategoryTree(VaultSession& session, QWidget* parent)
    : QTreeWidget(parent), session_(session) {
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { show_selected_category(); });
}

void CategoryTree::reload() { reload_selecting(kRootCategory); }

void CategoryTree::reload_selecting(const std::string& category) {
    const QIcon icon(QStringLiteral(":/icons/category.svg"));
    drop_highlight_ = nullptr;
    {
        // The list is filled once, for the item selected at the end: every fill reads the whole
        // view, which at a million records is most of the wait.
        QSignalBlocker quiet(this);
        clear();
        root_item_ = new QTreeWidgetItem(this, QStringList(root_label()));
        root_item_->setIcon(0, icon);
        root_item_->setData(0, Qt::UserRole, kRootData);
        root_item_->setData(0, kCategoryBytesRole, QByteArray(kRootCategory));

        Result<std::vector<std::string>> categories = statements::list_categories(session_.db());
        if (!categories) {
            show_message(this, categories.error(), error_caption());
        } else {
            int position = 0;
            for (const std::string& name : *categories) {
                auto* item = new QTreeWidgetItem(root_item_, QStringList(text::from_gbk(name)));
                item->setIcon(0, icon);
                item->setData(0, Qt::UserRole, position++);
                item->setData(0, kCategoryBytesRole,
                              QByteArray(name.data(), qsizetype(name.size())));
            }
        }
        root_item_->setExpanded(true);
        if (!select_category(category)) setCurrentItem(root_item_);
    }
    show_selected_category();
}

std::string CategoryTree::item_category(const QTreeWidgetItem* item) const {
    if (!item) return {};
    const QByteArray bytes = item->data(0, kCategoryBytesRole).toByteArray();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::string CategoryTree::selected_category() const { return item_category(currentItem()); }

bool CategoryTree::select_category(const std::string& category) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (item_category(*it) == category) {
            setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void CategoryTree::empty() {
    QSignalBlocker quiet(this);
    drop_highlight_ = nullptr;
    root_item_ = nullptr;
    clear();
}

void CategoryTree::show_selected_category() { emit category_selected(selected_category()); }

void CategoryTree::on_new_category() {
    CategoryNameDialog dialog;
    if (run_modal(dialog) == QDialog::Accepted) {
        if (Status added = statements::insert_category(session_.db(), dialog.category_name());
            !added) {
            show_message(this, added.error(), error_caption());
        }
    }
    reload();
}

void CategoryTree::on_delete_category() {
    if (show_message(this, QStringLiteral("是否删除该类别？"), QStringLiteral("确认"),
                     MessageButtons::OkCancel) != QMessageBox::Ok) {
        return;
    }
    if (Status removed = statements::delete_category(session_.db(), selected_category());
        !removed) {
        show_message(this, removed.error(), error_caption());
    }
    reload();
}

void CategoryTree::on_copy() {
    if (!currentItem()) {
        show_message(this, QStringLiteral("你没有选中任何项"), plain_error_caption(),
                     MessageButtons::OkCancel);
        return;
    }
    if (currentItem() == root_item_) return;
    // A category holds no password: the clipboard is emptied of whatever it held.
    put_text_on_clipboard(QString());
}

bool CategoryTree::handles_command(int id) const {
    return id == res::kCmdDelete || id == res::kCmdCopy;
}

void CategoryTree::execute_command(int id) {
    if (id == res::kCmdDelete) on_delete_category();
    if (id == res::kCmdCopy) on_copy();
}

void CategoryTree::mousePressEvent(QMouseEvent* event) {
    emit activated();
    if (event->button() == Qt::RightButton) {
        QTreeWidgetItem* item = itemAt(event->position().toPoint());
        // Selecting an item (or nothing) refills the list through currentItemChanged.
        setCurrentItem(item);
        if (!item) clearSelection();
    }
    QTreeWidget::mousePressEvent(event);
}

void CategoryTree::focusInEvent(QFocusEvent* event) {
    emit activated();
    QTreeWidget::focusInEvent(event);
}

void CategoryTree::contextMenuEvent(QContextMenuEvent* event) {
    // The tree has no menu of its own, and the category menu belongs to the frame.
    event->accept();
}

void CategoryTree::set_drop_highlight(QTreeWidgetItem* item) {
    if (drop_highlight_ == item) return;
    if (drop_highlight_) drop_highlight_->setBackground(0, QBrush());
    drop_highlight_ = item;
    if (drop_highlight_) drop_highlight_->setBackground(0, palette().highlight());
}

void CategoryTree::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QLatin1String(record_drag::kMimeType))) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CategoryTree::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasFormat(QLatin1String(record_drag::kMimeType))) {
        event->ignore();
        return;
    }
    set_drop_highlight(itemAt(event->position().toPoint()));
    event->acceptProposedAction();
}

void CategoryTree::dragLeaveEvent(QDragLeaveEvent* event) {
    set_drop_highlight(nullptr);
    QTreeWidget::dragLeaveEvent(event);
}

void CategoryTree::dropEvent(QDropEvent* event) {
    set_drop_highlight(nullptr);
    bool valid = false;
    const RecordId oid =
        event->mimeData()->data(QLatin1String(record_drag::kMimeType)).toLongLong(&valid);
    if (!valid) {
        event->ignore();
        return;
    }
    // Empty space stores an empty category; the root stores its own label.
    const std::string category = item_category(itemAt(event->position().toPoint()));
    if (Status moved = statements::move_record(session_.db(), oid, category); !moved) {
        show_message(this, moved.error(), error_caption());
    }
    event->acceptProposedAction();
    // The reload selects the root and fills the list for it; showing the old selection first
    // read a whole category only to throw it away.
    reload();
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// CategoryTree: the category tree, the left pane. A root "我的密码" with one child per category;
// selecting an item shows its records, and a record dropped on an item moves there.
#pragma once

#include <QTreeWidget>
#include <string>

#include "gui/commands/command_target.h"
#include "vault/vault_record.h"

namespace korvane {

class VaultSession;

class CategoryTree : public QTreeWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit CategoryTree(VaultSession& session, QWidget* parent = nullptr);

    // Rebuilds the tree from the database, root expanded and selected (which refills the list).
    void reload();
    // The same, selecting the item whose stored bytes are category instead when there is one;
    // the list is refilled once, for whichever item ends up selected.
    void reload_selecting(const std::string& category);
    // Announces the current selection with category_selected, so that the list shows it.
    void show_selected_category();
    // The stored bytes of the selected item's text: "我的密码" for the root, empty for none.
    std::string selected_category() const;
    // Selects the item whose stored bytes are category (which refills the list); false, with
    // the selection unchanged, when no item has them.
    bool select_category(const std::string& category);
    // Removes every item without announcing a selection, so nothing of the vault stays shown
    // while it is locked; reload() fills the tree again.
    void empty();

    void on_new_category();
    void on_delete_category();
    void on_copy();

    QTreeWidgetItem* root_item() const { return root_item_; }

    // CommandTarget
    bool handles_command(int id) const override;
    void execute_command(int id) override;

signals:
    void activated();
    // The stored bytes of the selected item, as selected_category gives them.
    void category_selected(const std::string& category);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    std::string item_category(const QTreeWidgetItem* item) const;
    void set_drop_highlight(QTreeWidgetItem* item);

    VaultSession& session_;
    QTreeWidgetItem* root_item_ = nullptr;
    QTreeWidgetItem* drop_highlight_ = nullptr;
};

}  // namespace korvane

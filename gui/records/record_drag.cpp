// SPDX-License-Identifier: GPL-3.0-or-later
// Dragging a record out of the record list.
#include "gui/records/record_drag.h"

#include <QAbstractItemView>
#include <QDrag>
#include <QIcon>
#include <QMimeData>

namespace korvane::record_drag {

QMimeData* mime_data(const QAbstractItemView& view, const QPersistentModelIndex& pressed) {
    if (!pressed.isValid() || !view.model() || pressed.model() != view.model()) return nullptr;
    return view.model()->mimeData({QModelIndex(pressed)});
}

void run(QAbstractItemView& view, const QPersistentModelIndex& pressed) {
    QMimeData* data = mime_data(view, pressed);
    if (!data) return;
    auto* drag = new QDrag(&view);
    drag->setMimeData(data);
    const QIcon icon = pressed.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) {
        const int size = view.iconSize().isValid() ? view.iconSize().width() : 32;
        drag->setPixmap(icon.pixmap(size, size));
        drag->setHotSpot(QPoint(size / 2, size / 2));
    }
    // The tree reports a move; the list keeps its rows either way and is refilled by the tree.
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

}  // namespace korvane::record_drag

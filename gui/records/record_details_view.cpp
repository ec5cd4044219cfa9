// SPDX-License-Identifier: GPL-3.0-or-later
// RecordDetailsView: QTreeView as a flat three-column table with the record list's own mouse,
// focus and drag rules.
#include "gui/records/record_details_view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace korvane {

RecordDetailsView::RecordDetailsView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(NoEditTriggers);
    setSortingEnabled(false);
    setDragEnabled(true);
    setDragDropMode(DragOnly);
    setAcceptDrops(false);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignCenter);
}

QMimeData* RecordDetailsView::drag_mime_data() const { return input_.drag_mime_data(*this); }

void RecordDetailsView::mousePressEvent(QMouseEvent* event) {
    input_.note_press(*this, *event);
    emit pane_activated();
    QTreeView::mousePressEvent(event);
}

void RecordDetailsView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit double_clicked();
}

void RecordDetailsView::focusInEvent(QFocusEvent* event) {
    const bool had_mark = currentIndex().isValid();
    QTreeView::focusInEvent(event);
    RecordPaneInput::undo_focus_mark(*this, had_mark);
    emit pane_activated();
}

void RecordDetailsView::keyPressEvent(QKeyEvent* event) {
    if (RecordPaneInput::is_copy_key(*event)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void RecordDetailsView::startDrag(Qt::DropActions) { input_.start_drag(*this); }

}  // namespace korvane

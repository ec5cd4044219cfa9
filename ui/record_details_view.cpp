// RecordDetailsView: QTreeView as a flat three-column table with the record list's own mouse,
// focus and drag rules.
#include "ui/record_details_view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "ui/record_drag.h"

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

QMimeData* RecordDetailsView::drag_mime_data() const {
    return record_drag::mime_data(*this, pressed_);
}

void RecordDetailsView::mousePressEvent(QMouseEvent* event) {
    pressed_ = indexAt(event->position().toPoint());
    pressed_button_ = event->button();
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
    // Qt makes the first item current when the focus arrives by keyboard; the selection mark
    // must only come from the user clicking or selecting, so that is undone.
    if (!had_mark && currentIndex().isValid() && !selectionModel()->hasSelection()) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    emit pane_activated();
}

void RecordDetailsView::keyPressEvent(QKeyEvent* event) {
    // Ctrl+C belongs to the copy-password command, never to Qt's copy of the item text.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void RecordDetailsView::startDrag(Qt::DropActions) {
    if (pressed_button_ != Qt::LeftButton) return;
    record_drag::run(*this, pressed_);
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// RecordPaneInput: the shared record-view input rules.
#include "gui/records/record_pane_input.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

#include "gui/records/record_drag.h"

namespace korvane {

void RecordPaneInput::note_press(const QAbstractItemView& view, const QMouseEvent& event) {
    pressed_ = view.indexAt(event.position().toPoint());
    pressed_button_ = event.button();
}

QMimeData* RecordPaneInput::drag_mime_data(const QAbstractItemView& view) const {
    return record_drag::mime_data(view, pressed_);
}

void RecordPaneInput::start_drag(QAbstractItemView& view) const {
    if (pressed_button_ != Qt::LeftButton) return;
    record_drag::run(view, pressed_);
}

void RecordPaneInput::undo_focus_mark(QAbstractItemView& view, bool had_mark) {
    QItemSelectionModel* selection = view.selectionModel();
    if (!had_mark && view.currentIndex().isValid() && !selection->hasSelection()) {
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

bool RecordPaneInput::is_copy_key(const QKeyEvent& event) {
    return event.matches(QKeySequence::Copy);
}

}  // namespace korvane

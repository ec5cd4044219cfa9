// SPDX-License-Identifier: GPL-3.0-or-later
// Dragging one record out of either record view onto the category tree.
#pragma once

#include <QPersistentModelIndex>

class QAbstractItemView;
class QMimeData;

namespace korvane::record_drag {

// What a dragged record carries: its oid, as decimal text. Only the category tree accepts it.
inline constexpr char kMimeType[] = "application/x-korvane-record-oid";

// The data a drag of the record at pressed carries (only that record, whatever else is
// selected); nullptr when nothing was pressed.
QMimeData* mime_data(const QAbstractItemView& view, const QPersistentModelIndex& pressed);

// Runs the drag of the record at pressed until it is dropped or cancelled. Nothing changes on
// this side: the category tree moves the record on a drop.
void run(QAbstractItemView& view, const QPersistentModelIndex& pressed);

}  // namespace korvane::record_drag

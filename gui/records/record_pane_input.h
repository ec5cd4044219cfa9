// SPDX-License-Identifier: GPL-3.0-or-later
// RecordPaneInput: the mouse, focus, key and drag rules both record views share, kept in one
// place so the icon layouts and the details table cannot drift apart.
#pragma once

#include <QPersistentModelIndex>

class QAbstractItemView;
class QKeyEvent;
class QMimeData;
class QMouseEvent;

namespace korvane {

class RecordPaneInput {
public:
    // Remembers the item under the press (or none) and the button, before the view handles it.
    void note_press(const QAbstractItemView& view, const QMouseEvent& event);

    // The data a drag starting now would carry: the record pressed last, not the selection.
    QMimeData* drag_mime_data(const QAbstractItemView& view) const;
    // Only a left-button press starts a drag.
    void start_drag(QAbstractItemView& view) const;

    // Qt makes the first item current when the focus arrives by keyboard; the selection mark
    // must only come from the user clicking or selecting, so that is undone.
    static void undo_focus_mark(QAbstractItemView& view, bool had_mark);
    // Ctrl+C belongs to the copy-password command, never to Qt's copy of the item text.
    static bool is_copy_key(const QKeyEvent& event);

private:
    QPersistentModelIndex pressed_;
    Qt::MouseButton pressed_button_ = Qt::NoButton;
};

}  // namespace korvane

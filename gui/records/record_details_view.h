// SPDX-License-Identifier: GPL-3.0-or-later
// RecordDetailsView: the record list in details mode, one row per record with three columns.
#pragma once

#include <QTreeView>

#include "gui/records/record_pane_input.h"

class QMimeData;

namespace korvane {

class RecordDetailsView : public QTreeView {
    Q_OBJECT
public:
    explicit RecordDetailsView(QWidget* parent = nullptr);

    // The data a drag starting now would carry: the record pressed last, not the selection.
    QMimeData* drag_mime_data() const;

signals:
    // The user pressed a mouse button here, or the view got the focus.
    void pane_activated();
    // A left double click, on an item or on empty space.
    void double_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supported_actions) override;

private:
    RecordPaneInput input_;
};

}  // namespace korvane

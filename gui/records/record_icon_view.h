// SPDX-License-Identifier: GPL-3.0-or-later
// RecordIconView: the record list in large icons, small icons or list mode.
#pragma once

#include <QListView>

#include "gui/records/record_pane_input.h"

class QMimeData;

namespace korvane {

class RecordIconView : public QListView {
    Q_OBJECT
public:
    enum class Layout { LargeIcons, SmallIcons, List };

    explicit RecordIconView(QWidget* parent = nullptr);

    void set_layout(Layout layout);
    Layout layout_kind() const { return layout_; }
    // Lays the icons out again in reading order.
    void arrange();

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
    Layout layout_ = Layout::LargeIcons;
    RecordPaneInput input_;
};

}  // namespace korvane

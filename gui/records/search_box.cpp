// SPDX-License-Identifier: GPL-3.0-or-later
// SearchBox: the search field's keys.
#include "gui/records/search_box.h"

#include <QKeyEvent>

namespace korvane {
namespace {

// Room for a dozen Chinese characters without crowding the toolbar's buttons.
constexpr int kBoxWidth = 200;

}  // namespace

SearchBox::SearchBox(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("search_box"));
    setPlaceholderText(QStringLiteral("搜索"));
    setClearButtonEnabled(true);
    setFixedWidth(kBoxWidth);
}

void SearchBox::take_focus() {
    setFocus(Qt::ShortcutFocusReason);
    selectAll();
}

void SearchBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            // Emptying the box is what ends the search, wherever Esc was pressed.
            clear();
            event->accept();
            return;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit results_wanted();
            event->accept();
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

}  // namespace korvane

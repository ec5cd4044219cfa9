// SPDX-License-Identifier: GPL-3.0-or-later
// RecordIconView: QListView set up for the three icon layouts, with the record list's own
// mouse, focus and drag rules.
#include "gui/records/record_icon_view.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;
constexpr int kLargeCellWidth = 100;
constexpr int kLargeTitleChars = 6;  // Chinese characters that at least fit on each title line
constexpr int kLargeTitleLines = 2;
// The style's focus-frame margin on either side of the text and below the picture, with room
// to spare for the looks that draw a wider frame.
constexpr int kTextMargin = 6;
constexpr int kTitleChars = 22;  // of an average width, beside a small icon

// The height of one line of a Chinese title. The font's own line spacing is not it: the
// characters come from a fallback font with a taller line, and a cell two Latin lines high
// made the style elide every Chinese title after its first line.
int title_line_height(const QFont& font) {
    QTextLayout layout(QStringLiteral("标题Ag"), font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return int(std::ceil(line.height()));
}

QSize large_icon_cell(const QWidget& view) {
    const int text_width = kLargeTitleChars * view.fontMetrics().horizontalAdvance(QChar(u'中'));
    return {std::max(kLargeCellWidth, text_width + 2 * kTextMargin),
            kLargeIcon + kTextMargin + kLargeTitleLines * title_line_height(view.font()) + 8};
}

// Every item gets the same cell, as the earlier program's icon spacing did: with uniform item
// sizes the view measures one item instead of 100 000 titles, and long titles wrap or are cut
// inside their cell instead of widening it.
class FixedCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void set_cell(QSize cell) { cell_ = cell; }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return cell_; }

private:
    QSize cell_;
};

}  // namespace

RecordIconView::RecordIconView(QWidget* parent) : QListView(parent) {
    setItemDelegate(new FixedCellDelegate(this));
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideRight);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectItems);
    setEditTriggers(NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(DragOnly);
    setAcceptDrops(false);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    set_layout(Layout::LargeIcons);
}

void RecordIconView::set_layout(Layout layout) {
    layout_ = layout;
    const QFontMetrics metrics = fontMetrics();
    const QSize large_cell = large_icon_cell(*this);
    const QSize small_cell(kSmallIcon + 8 + kTitleChars * metrics.averageCharWidth(),
                           std::max(kSmallIcon, title_line_height(font())) + 4);
    static_cast<FixedCellDelegate*>(itemDelegate())
        ->set_cell(layout == Layout::LargeIcons ? large_cell - QSize(4, 4) : small_cell);
    switch (layout) {
        case Layout::LargeIcons:
            setViewMode(IconMode);
            setMovement(Static);
            setFlow(LeftToRight);
            setWrapping(true);
            setIconSize(QSize(kLargeIcon, kLargeIcon));
            setGridSize(large_cell);
            setWordWrap(true);
            break;
        case Layout::SmallIcons:
            setViewMode(ListMode);
            setMovement(Static);
            setFlow(LeftToRight);
            setWrapping(true);
            setIconSize(QSize(kSmallIcon, kSmallIcon));
            setGridSize(QSize());
            setWordWrap(false);
            break;
        case Layout::List:
            setViewMode(ListMode);
            setMovement(Static);
            setFlow(TopToBottom);
            setWrapping(true);
            setIconSize(QSize(kSmallIcon, kSmallIcon));
            setGridSize(QSize());
            setWordWrap(false);
            break;
    }
    // Mode changes reset these in QListView; the list keeps them in every layout.
    setResizeMode(Adjust);
    setSpacing(layout == Layout::LargeIcons ? 0 : 2);
    setDragEnabled(true);
    setAcceptDrops(false);
}

void RecordIconView::arrange() {
    doItemsLayout();
    viewport()->update();
}

QMimeData* RecordIconView::drag_mime_data() const { return input_.drag_mime_data(*this); }

void RecordIconView::mousePressEvent(QMouseEvent* event) {
    input_.note_press(*this, *event);
    emit pane_activated();
    QListView::mousePressEvent(event);
}

void RecordIconView::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit double_clicked();
}

void RecordIconView::focusInEvent(QFocusEvent* event) {
    const bool had_mark = currentIndex().isValid();
    QListView::focusInEvent(event);
    RecordPaneInput::undo_focus_mark(*this, had_mark);
    emit pane_activated();
}

void RecordIconView::keyPressEvent(QKeyEvent* event) {
    if (RecordPaneInput::is_copy_key(*event)) {
        event->ignore();
        return;
    }
    QListView::keyPressEvent(event);
}

void RecordIconView::startDrag(Qt::DropActions) { input_.start_drag(*this); }

}  // namespace korvane

// RecordIconView: QListView set up for the three icon layouts, with the record list's own
// mouse, focus and drag rules.
#include "ui/record_icon_view.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>

#include "ui/record_drag.h"

namespace korvane {

namespace {

constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;
constexpr int kLargeCellWidth = 100;
constexpr int kTitleChars = 22;  // of an average width, beside a small icon

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
    const QSize large_cell(kLargeCellWidth, kLargeIcon + 2 * metrics.lineSpacing() + 8);
    const QSize small_cell(kSmallIcon + 8 + kTitleChars * metrics.averageCharWidth(),
                           std::max(kSmallIcon, metrics.height()) + 4);
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

QMimeData* RecordIconView::drag_mime_data() const {
    return record_drag::mime_data(*this, pressed_);
}

void RecordIconView::mousePressEvent(QMouseEvent* event) {
    pressed_ = indexAt(event->position().toPoint());
    pressed_button_ = event->button();
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
    // Qt makes the first item current when the focus arrives by keyboard; the selection mark
    // must only come from the user clicking or selecting, so that is undone.
    if (!had_mark && currentIndex().isValid() && !selectionModel()->hasSelection()) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    emit pane_activated();
}

void RecordIconView::keyPressEvent(QKeyEvent* event) {
    // Ctrl+C belongs to the copy-password command, never to Qt's copy of the item text.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QListView::keyPressEvent(event);
}

void RecordIconView::startDrag(Qt::DropActions) {
    if (pressed_button_ != Qt::LeftButton) return;
    record_drag::run(*this, pressed_);
}

}  // namespace korvane

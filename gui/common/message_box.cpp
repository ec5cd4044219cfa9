// SPDX-License-Identifier: GPL-3.0-or-later
// show_message: QMessageBox with the program's captions and button sets.
#include "gui/common/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>

#include "gui/common/program_state.h"
#include "gui/common/run_modal.h"
#include "resources/resource_ids.h"
#include "resources/string_table.h"

namespace korvane {

namespace {

// Room beside the caption for the title bar's icon and its close button, so the window manager
// has no reason to elide the caption.
constexpr int kTitleBarButtonsRoom = 120;

// QMessageBox fixes its own size from its layout when it is shown, so a minimum width set on the
// box is overridden; a spacer across the layout's full width is what that sizing respects.
void fit_caption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    QFont title_font = QApplication::font();
    // Window managers often draw titles in bold, which is wider.
    title_font.setBold(true);
    const int width =
        QFontMetrics(title_font).horizontalAdvance(box.windowTitle()) + kTitleBarButtonsRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void build_box(QMessageBox& box, const QString& text, const QString& caption,
               MessageButtons buttons, QMessageBox::Icon icon) {
    box.setIcon(icon);
    box.setWindowTitle(caption.isEmpty() ? res::string_entry(res::kStrAppTitle) : caption);
    box.setText(text);
    if (buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    fit_caption(box);
}

}  // namespace

QMessageBox::StandardButton show_message(QWidget* owner, const QString& text,
                                         const QString& caption, MessageButtons buttons,
                                         QMessageBox::Icon icon) {
    QMessageBox box(owner);
    build_box(box, text, caption, buttons, icon);
    const int pressed = run_modal(box);
    // A box the quit or a lock closed, or never showed, was not answered with OK.
    if (program_quitting() || dialogs_withdrawn()) return QMessageBox::Cancel;
    return static_cast<QMessageBox::StandardButton>(pressed);
}

void show_closing_message(const QString& text, const QString& caption) {
    QMessageBox box;
    build_box(box, text, caption, MessageButtons::Ok, QMessageBox::Critical);
    run_modal(box, WhenQuitting::ShowAnyway);
}

QString error_caption() { return QStringLiteral("出错啦"); }

QString plain_error_caption() { return QStringLiteral("错误"); }

}  // namespace korvane

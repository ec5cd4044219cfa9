// SPDX-License-Identifier: GPL-3.0-or-later
// FloatWindow: collecting dropped texts, its two popup menus and the view/edit dialog.
#include "gui/float/float_window.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWindow>

#include "gui/commands/command_router.h"
#include "gui/commands/menu_builder.h"
#include "gui/common/message_box.h"
#include "gui/common/run_modal.h"
#include "gui/editor/record_editor_dialog.h"
#include "resources/resource_ids.h"
#include "vault/secure_wipe.h"
#include "vault/text.h"

namespace korvane {
namespace {

constexpr int kBitmapSize = 32;
// A little room round the picture, like the 21 x 23 dialog-unit window it stands for.
constexpr int kWindowWidth = 36;
constexpr int kWindowHeight = 38;

}  // namespace

FloatWindow::FloatWindow(CommandRouter& router, ClipboardClearer& clearer, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      router_(router),
      clearer_(clearer) {
    setObjectName(QStringLiteral("float_window"));
    // Showing it must not take the focus from the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAcceptDrops(true);
    setFixedSize(kWindowWidth, kWindowHeight);
    auto* picture = new QLabel(this);
    picture->setPixmap(
        QIcon(QStringLiteral(":/icons/float-window-bitmap.svg")).pixmap(kBitmapSize, kBitmapSize));
    picture->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture);
}

FloatWindow::~FloatWindow() = default;

VaultRecord FloatWindow::collected() const { return {title_, account_, password_, remark_, {}}; }

void FloatWindow::clear_collected() {
    // Overwritten, not only emptied: a locked vault leaves no collected password in memory.
    secure_wipe(title_);
    secure_wipe(account_);
    secure_wipe(password_);
    secure_wipe(remark_);
    if (dropped_text_) secure_wipe(*dropped_text_);
    dropped_text_.reset();
}

bool FloatWindow::handles_command(int id) const {
    switch (id) {
        case res::kCmdCollectTitle:
        case res::kCmdCollectAccount:
        case res::kCmdCollectPassword:
        case res::kCmdCollectRemark:
        case res::kCmdViewCollected:
            return true;
        default:
            return false;  // write, show/hide and exit belong to the main window
    }
}

void FloatWindow::execute_command(int id) {
    const std::string dropped = dropped_text_.value_or(std::string());
    switch (id) {
        case res::kCmdCollectTitle:
            title_ += dropped;
            break;
        case res::kCmdCollectAccount:
            account_ += dropped;
            break;
        case res::kCmdCollectPassword:
            password_ += dropped;
            break;
        case res::kCmdCollectRemark:
            remark_ += dropped;
            break;
        case res::kCmdViewCollected:
            view_collected();
            break;
        default:
            break;
    }
}

void FloatWindow::view_collected() {
    // No owner: the dialog must work while the main window is hidden in the tray.
    RecordEditorDialog dialog;
    dialog.set_clipboard_clearer(clearer_);
    dialog.set_caption(RecordEditorDialog::kViewRecordCaption);
    dialog.set_title(title_);
    dialog.set_account(account_);
    dialog.set_password(password_);
    dialog.set_remark(remark_);
    if (run_modal(dialog) != QDialog::Accepted) return;
    title_ = dialog.title();
    account_ = dialog.account();
    password_ = dialog.password();
    remark_ = dialog.remark();
}

void FloatWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle()) {
        // The whole picture acts as a caption bar; where the window ends up is not kept.
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void FloatWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    execute_command(res::kCmdViewCollected);
}

void FloatWindow::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    std::unique_ptr<QMenu> menu = build_popup_menu(router_, res::kFloatMenu);
    if (!menu) return;
    raise();
    activateWindow();
    router_.exec_popup(*menu, this, QCursor::pos());
}

void FloatWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            // Neither confirms nor closes anything: the window stays until the program ends.
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void FloatWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() && event->mimeData()->hasText()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FloatWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData() && event->mimeData()->hasText()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

std::optional<std::string> FloatWindow::take_dropped_text(const QMimeData& data) {
    QString text = data.text();
    // Only what precedes a NUL counts, as for any text the program stores.
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0) text.truncate(nul);
    Result<std::string> bytes = text::to_gbk(text, QStringLiteral("拖放的文字"));
    if (!bytes.ok()) {
        show_message(this, bytes.error(), error_caption());
        return std::nullopt;
    }
    return std::move(*bytes);
}

void FloatWindow::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasText()) {
        event->ignore();
        return;
    }
    std::unique_ptr<QMenu> menu = build_popup_menu(router_, res::kDropTargetMenu);
    if (!menu) {
        event->ignore();
        return;
    }
    std::optional<std::string> text = take_dropped_text(*data);
    if (!text) {
        event->ignore();
        return;
    }
    dropped_text_ = std::move(text);
    // Accepted before the menu opens, so the program the text came from is not kept waiting
    // while the user chooses.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    raise();
    activateWindow();
    router_.exec_popup(*menu, this, QCursor::pos());
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// One way to ask or tell the user something in a message box with the program's fixed texts.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace korvane {

enum class MessageButtons { Ok, OkCancel };

// Shows a modal message box owned by owner (may be null). An empty caption shows the
// application title "Pellorin". Returns the button pressed (Esc gives Cancel, or Ok when
// there is no Cancel). Once the program is quitting nothing is shown and the answer is Cancel.
QMessageBox::StandardButton show_message(QWidget* owner, const QString& text,
                                         const QString& caption = QString(),
                                         MessageButtons buttons = MessageButtons::Ok,
                                         QMessageBox::Icon icon = QMessageBox::NoIcon);

// The last thing the program says as it ends after a failure: shown although the program is
// quitting, with OK only.
void show_closing_message(const QString& text, const QString& caption);

// The captions the program uses.
QString error_caption();        // "出错啦"
QString plain_error_caption();  // "错误"

}  // namespace korvane

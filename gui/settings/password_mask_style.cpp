// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordMaskStyle: the '*' mask over any base style, and putting it under the application.
#include "gui/settings/password_mask_style.h"

#include <QApplication>
#include <QStyleFactory>

namespace korvane {

PasswordMaskStyle::PasswordMaskStyle(QStyle* base) : QProxyStyle(base) {}

int PasswordMaskStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* return_data) const {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, return_data);
}

void PasswordMaskStyle::install() {
    // Under a sheet the application's style is the sheet's own; the looks put the mask under
    // their sheets themselves.
    if (!qApp->styleSheet().isEmpty()) return;
    QStyle* current = QApplication::style();
    if (qobject_cast<PasswordMaskStyle*>(current)) return;
    // The current style cannot be wrapped in place: QApplication deletes the style it replaces.
    QStyle* copy = QStyleFactory::create(current->name());
    if (!copy) copy = QStyleFactory::create(QStringLiteral("Fusion"));
    QApplication::setStyle(new PasswordMaskStyle(copy));
}

}  // namespace korvane

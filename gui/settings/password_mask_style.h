// SPDX-License-Identifier: GPL-3.0-or-later
// PasswordMaskStyle: the program's base style, which masks password boxes with '*'.
#pragma once

#include <QProxyStyle>

namespace korvane {

// The dialogs tell the user a password shows as '*', while Qt takes the mask from the desktop
// (often '●'). Every look's sheet is drawn over this style, so one hint covers them all.
class PasswordMaskStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Takes ownership of base.
    explicit PasswordMaskStyle(QStyle* base);

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* return_data = nullptr) const override;

    // Puts a copy of the application's current style under the mask, unless it already is;
    // the application owns the new style.
    static void install();
};

}  // namespace korvane

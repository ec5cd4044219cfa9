// SPDX-License-Identifier: GPL-3.0-or-later
// use_resizable_frame: the flags and size limits of a small dialog's window.
#include "gui/common/dialog_frame.h"

#include <QDialog>
#include <QLayout>

namespace korvane {

void use_resizable_frame(QDialog& dialog) {
    // A dialog's default flags have no maximise button; only a window manager that honours the
    // hint shows it.
    dialog.setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    if (QLayout* layout = dialog.layout()) layout->setSizeConstraint(QLayout::SetDefaultConstraint);
    dialog.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

}  // namespace korvane

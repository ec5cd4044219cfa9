// SPDX-License-Identifier: GPL-3.0-or-later
// app_icon: the compiled-in picture.
#include "gui/common/app_icon.h"

namespace korvane {

// Not cached in a static: a QIcon outliving the QApplication may call into an unloaded icon
// engine at exit.
QIcon app_icon() { return QIcon(QStringLiteral(":/icons/app.svg")); }

}  // namespace korvane

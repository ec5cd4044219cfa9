// SPDX-License-Identifier: GPL-3.0-or-later
// The application icon shared by every window and dialog.
#pragma once

#include <QIcon>

namespace korvane {

// The program's icon from the compiled-in resources; a null icon while the picture is absent,
// which every caller must tolerate.
QIcon app_icon();

}  // namespace korvane

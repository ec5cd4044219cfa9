// SPDX-License-Identifier: GPL-3.0-or-later
// The program's name and version as the window's title bar and the about box show them.
#pragma once

#include <QString>

namespace korvane {

// "Korvane V" and the version of the project() line, whole: 1.2 reads "Korvane V1.2", a 1.2.3
// would read "Korvane V1.2.3", the same version --version prints.
QString program_title();

}  // namespace korvane

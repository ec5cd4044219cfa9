// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/program_title.h"

#include "vault/program_version.h"

namespace korvane {

QString program_title() {
    return QStringLiteral("Korvane V%1").arg(QLatin1String(kProgramVersion));
}

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// VisualStyle: the four program-wide looks of menus, toolbars and dialogs, and the one in force.
#pragma once

#include <QString>

namespace korvane {

class VisualStyle {
public:
    // The stored numbers of the looks; any other number names none of them.
    static constexpr int kOfficeXp = 1;
    static constexpr int kOffice2000 = 2;
    static constexpr int kOffice2003 = 3;
    static constexpr int kWindowsXp = 4;
    // The look the program shows before a stored one is applied, and for a stored number
    // that names none.
    static constexpr int kDefaultLook = kOffice2000;

    static bool is_look(int mode);
    // The style menu's command for mode, or 0.
    static int command_for(int mode);
    // The look a style command chooses, or 0 for another command.
    static int mode_for_command(int command);
    // The resource path of mode's style sheet, or an empty string.
    static QString sheet_resource(int mode);

    // Replaces the program-wide look by mode's, repolishing every widget. A number that names
    // no look, or a sheet that cannot be read, changes nothing and returns false.
    static bool apply_look(int mode);
    // The look last applied, while its sheet is still the program's; 0 when there is none.
    static int look_in_force();
};

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The command vocabulary: each command's menu text and picture, the menus, the toolbar and the
// accelerator table.
#pragma once

#include <QKeySequence>
#include <QString>
#include <vector>

namespace korvane::command_table {

struct CommandInfo {
    int id;
    QString text;  // as the menu bar (or, if absent there, a popup) shows it
    QString icon;  // resource path of its toolbar picture, or empty
};

// nullptr for ids the program does not know.
const CommandInfo* find(int id);
const std::vector<CommandInfo>& all();

// One entry of a menu: a command (with the text it shows there when that differs from the
// command's own text), a separator, or a submenu.
struct MenuEntry {
    enum class Kind { Command, Separator, Submenu };
    Kind kind = Kind::Command;
    int id = 0;
    QString text;                     // command text override, or the submenu's title
    std::vector<MenuEntry> children;  // submenu entries
};

struct PopupLayout {
    int menu_id;
    int default_command;
    std::vector<MenuEntry> entries;
};

// res::kMainMenu: the six top-level popups, each a Submenu entry.
const std::vector<MenuEntry>& main_menu();
// Popup menus res::kTrayMenu, kRecordListMenu, kDropTargetMenu, kFloatMenu and kCategoryMenu;
// nullptr for another id.
const PopupLayout* popup(int menu_id);
// res::kMainToolbar in order; 0 stands for a separator.
const std::vector<int>& toolbar();

struct Accelerator {
    QKeySequence keys;
    int command;
};
// Accelerator table 128.
const std::vector<Accelerator>& accelerators();

}  // namespace korvane::command_table

// SPDX-License-Identifier: GPL-3.0-or-later
// Menu and toolbar construction from the command table.
#include "gui/commands/menu_builder.h"

#include <QAction>
#include <QMenuBar>
#include <QToolBar>

#include "gui/commands/command_router.h"
#include "gui/commands/command_table.h"
#include "resources/resource_ids.h"

namespace korvane {
namespace {

QAction* entry_action(CommandRouter& router, const command_table::MenuEntry& entry) {
    return entry.text.isEmpty() ? router.action(entry.id)
                                : router.action_with_text(entry.id, entry.text);
}

void add_entries(CommandRouter& router, QMenu& menu,
                 const std::vector<command_table::MenuEntry>& entries) {
    for (const command_table::MenuEntry& entry : entries) {
        switch (entry.kind) {
            case command_table::MenuEntry::Kind::Separator:
                menu.addSeparator();
                break;
            case command_table::MenuEntry::Kind::Submenu: {
                QMenu* sub = menu.addMenu(entry.text);
                router.track_menu(sub);
                add_entries(router, *sub, entry.children);
                break;
            }
            case command_table::MenuEntry::Kind::Command:
                menu.addAction(entry_action(router, entry));
                break;
        }
    }
}

}  // namespace

std::unique_ptr<QMenu> build_popup_menu(CommandRouter& router, int menu_id) {
    const command_table::PopupLayout* info = command_table::popup(menu_id);
    if (!info) return nullptr;
    auto menu = std::make_unique<QMenu>();
    router.track_menu(menu.get());
    add_entries(router, *menu, info->entries);
    for (const command_table::MenuEntry& entry : info->entries) {
        if (entry.kind == command_table::MenuEntry::Kind::Command &&
            entry.id == info->default_command) {
            menu->setDefaultAction(entry_action(router, entry));
            break;
        }
    }
    return menu;
}

void build_main_menu(CommandRouter& router, QMenuBar& bar) {
    for (const command_table::MenuEntry& top : command_table::main_menu()) {
        QMenu* menu = bar.addMenu(top.text);
        router.track_menu(menu);
        add_entries(router, *menu, top.children);
    }
}

void build_toolbar(CommandRouter& router, QToolBar& toolbar) {
    for (int id : command_table::toolbar()) {
        if (id == 0) {
            toolbar.addSeparator();
        } else {
            toolbar.addAction(router.action(id));
        }
    }
}

}  // namespace korvane

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

QAction* entry_action(CommandRouter& router, const commands::MenuEntry& entry) {
    return entry.text.isEmpty() ? router.action(entry.id)
                                : router.action_with_text(entry.id, entry.text);
}

void add_entries(CommandRouter& router, QMenu& menu,
                 const std::vector<commands::MenuEntry>& entries) {
    for (const commands::MenuEntry& entry : entries) {
        switch (entry.kind) {
            case commands::MenuEntry::Kind::Separator:
                menu.addSeparator();
                break;
            case commands::MenuEntry::Kind::Submenu: {
                QMenu* sub = menu.addMenu(entry.text);
                router.track_menu(sub);
                add_entries(router, *sub, entry.children);
                break;
            }
            case commands::MenuEntry::Kind::Command:
                menu.addAction(entry_action(router, entry));
                break;
        }
    }
}

}  // namespace

std::unique_ptr<QMenu> build_popup_menu(CommandRouter& router, int menu_id) {
    const commands::PopupLayout* info = commands::popup(menu_id);
    if (!info) return nullptr;
    auto menu = std::make_unique<QMenu>();
    router.track_menu(menu.get());
    add_entries(router, *menu, info->entries);
    for (const commands::MenuEntry& entry : info->entries) {
        if (entry.kind == commands::MenuEntry::Kind::Command && entry.id == info->default_command) {
            menu->setDefaultAction(entry_action(router, entry));
            break;
        }
    }
    return menu;
}

void build_main_menu(CommandRouter& router, QMenuBar& bar) {
    for (const commands::MenuEntry& top : commands::main_menu()) {
        QMenu* menu = bar.addMenu(top.text);
        router.track_menu(menu);
        add_entries(router, *menu, top.children);
    }
}

void build_toolbar(CommandRouter& router, QToolBar& toolbar) {
    for (int id : commands::toolbar()) {
        if (id == 0) {
            toolbar.addSeparator();
        } else {
            toolbar.addAction(router.action(id));
        }
    }
}

}  // namespace korvane

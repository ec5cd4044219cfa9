// SPDX-License-Identifier: GPL-3.0-or-later
// Builds menus and the toolbar from the command table, with the router's shared actions.
#pragma once

#include <QMenu>
#include <memory>

class QMenuBar;
class QToolBar;

namespace korvane {

class CommandRouter;

// Popup menu menu_id with its default item, or nullptr for an unknown id.
std::unique_ptr<QMenu> build_popup_menu(CommandRouter& router, int menu_id);
// Fills a menu bar with res::kMainMenu.
void build_main_menu(CommandRouter& router, QMenuBar& bar);
// Fills the toolbar with res::kMainToolbar.
void build_toolbar(CommandRouter& router, QToolBar& toolbar);

}  // namespace korvane

// SPDX-License-Identifier: GPL-3.0-or-later
// The command table, res::kMainMenu and the popup menus, res::kMainToolbar, the accelerators.
#include "gui/commands/command_table.h"

#include <algorithm>

#include "resources/resource_ids.h"

namespace korvane::command_table {
namespace {

using namespace korvane::res;

MenuEntry cmd(int id, QString text = {}) {
    return {MenuEntry::Kind::Command, id, std::move(text), {}};
}
MenuEntry separator() { return {MenuEntry::Kind::Separator, 0, {}, {}}; }
MenuEntry submenu(QString title, std::vector<MenuEntry> children) {
    return {MenuEntry::Kind::Submenu, 0, std::move(title), std::move(children)};
}

}  // namespace

const std::vector<CommandInfo>& all() {
    static const std::vector<CommandInfo> table = {
        {kCmdImport, QStringLiteral("导入数据库"), {}},
        {kCmdExportBackup, QStringLiteral("导出数据库备份"), {}},
        {kCmdSync, QStringLiteral("数据库同步"), {}},
        {kCmdExit, QStringLiteral("退出(&X)"), {}},
        {kCmdNew, QStringLiteral("新建(&N)\tCtrl+N"), QStringLiteral(":/icons/new.svg")},
        {kCmdDelete, QStringLiteral("删除"), QStringLiteral(":/icons/delete.svg")},
        {kCmdCopy, QStringLiteral("复制"), QStringLiteral(":/icons/copy.svg")},
        {kCmdViewToolbar, QStringLiteral("工具栏(&T)"), {}},
        {kCmdViewStatusBar, QStringLiteral("状态栏(&S)"), {}},
        {kCmdToggleFloat, QStringLiteral("悬浮窗"), QStringLiteral(":/icons/float-window.svg")},
        {kCmdStyleXp, QStringLiteral("XP风格"), {}},
        {kCmdStyleOffice2003, QStringLiteral("Office 2003 风格"), {}},
        {kCmdStyleOfficeXp, QStringLiteral("Office XP 风格"), {}},
        {kCmdStyleOffice2000, QStringLiteral("Office 2000 风格"), {}},
        {kCmdChangePassword, QStringLiteral("修改密码"),
         QStringLiteral(":/icons/change-password.svg")},
        {kCmdChangePasswordAlt, QStringLiteral("修改密码"), {}},
        {kCmdEncryptFile, QStringLiteral("加密文件"), QStringLiteral(":/icons/encrypt-file.svg")},
        {kCmdExportCsv, QStringLiteral("导出为CSV"), QStringLiteral(":/icons/export-csv.svg")},
        {kCmdPasswordGenerator, QStringLiteral("密码生成器"), {}},
        {kCmdAbout, QStringLiteral("关于 Korvane(&A)..."), QStringLiteral(":/icons/about.svg")},
        {kCmdRefresh, QStringLiteral("刷新"), QStringLiteral(":/icons/refresh.svg")},
        {kCmdViewLargeIcons, QStringLiteral("大图标"),
         QStringLiteral(":/icons/view-large-icons.svg")},
        {kCmdViewSmallIcons, QStringLiteral("小图标"),
         QStringLiteral(":/icons/view-small-icons.svg")},
        {kCmdViewList, QStringLiteral("列表"), QStringLiteral(":/icons/view-list.svg")},
        {kCmdViewDetails, QStringLiteral("详细信息"), QStringLiteral(":/icons/view-details.svg")},
        {kCmdViewArrange, QStringLiteral("排列图标"), {}},
        {kCmdViewSort, QStringLiteral("排序图标"), {}},
        {kCmdClearClipboard, QStringLiteral("清空剪切板"),
         QStringLiteral(":/icons/clear-clipboard.svg")},
        {kCmdHideToTray, QStringLiteral("缩为图标"), QStringLiteral(":/icons/hide-to-tray.svg")},
        {kCmdCollectTitle, QStringLiteral("标题"), {}},
        {kCmdCollectAccount, QStringLiteral("账号"), {}},
        {kCmdCollectPassword, QStringLiteral("密码"), {}},
        {kCmdCollectRemark, QStringLiteral("备注"), {}},
        {kCmdWriteCollected, QStringLiteral("把数据写入记录"), {}},
        {kCmdViewCollected, QStringLiteral("查看数据"), {}},
        {kCmdFileNew, QStringLiteral("新建"), {}},
        {kCmdPrint, QStringLiteral("打印"), {}},
        {kCmdEditCopy, QStringLiteral("复制"), {}},
        {kCmdEditCut, QStringLiteral("剪切"), {}},
        {kCmdEditPaste, QStringLiteral("粘贴"), {}},
        {kCmdEditUndo, QStringLiteral("撤销"), {}},
        {kCmdNextPane, QStringLiteral("下一窗格"), {}},
        {kCmdPrevPane, QStringLiteral("前一窗格"), {}},
        {kCmdLock, QStringLiteral("锁定\tCtrl+L"), {}},
        {kCmdOptions, QStringLiteral("选项…"), {}},
        {kCmdFind, QStringLiteral("查找\tCtrl+F"), {}},
    };
    return table;
}

const CommandInfo* find(int id) {
    const auto& table = all();
    auto it =
        std::find_if(table.begin(), table.end(), [id](const CommandInfo& c) { return c.id == id; });
    return it == table.end() ? nullptr : &*it;
}

const std::vector<MenuEntry>& main_menu() {
    static const std::vector<MenuEntry> menu = {
        submenu(QStringLiteral("程序(&F)"), {cmd(kCmdImport), cmd(kCmdExportBackup), cmd(kCmdSync),
                                             cmd(kCmdExit), separator(), cmd(kCmdLock)}),
        submenu(QStringLiteral("编辑"),
                {cmd(kCmdNew), cmd(kCmdDelete), cmd(kCmdCopy), cmd(kCmdFind)}),
        submenu(
            QStringLiteral("查看(&V)"),
            {cmd(kCmdViewToolbar), cmd(kCmdViewStatusBar), cmd(kCmdToggleFloat),
             submenu(QStringLiteral("风格"), {cmd(kCmdStyleXp), cmd(kCmdStyleOffice2003),
                                              cmd(kCmdStyleOfficeXp), cmd(kCmdStyleOffice2000)})}),
        submenu(QStringLiteral("设置"), {cmd(kCmdChangePassword), cmd(kCmdOptions)}),
        submenu(QStringLiteral("工具"),
                {cmd(kCmdEncryptFile), cmd(kCmdExportCsv), cmd(kCmdPasswordGenerator)}),
        submenu(QStringLiteral("帮助(&H)"), {cmd(kCmdAbout)}),
    };
    return menu;
}

const PopupLayout* popup(int menu_id) {
    static const std::vector<PopupLayout> popups = {
        {kTrayMenu,
         kCmdExit,
         {cmd(kCmdToggleFloat), cmd(kCmdExit, QStringLiteral("退出")),
          cmd(kCmdLock, QStringLiteral("锁定"))}},
        {kRecordListMenu,
         kCmdNew,
         {cmd(kCmdNew), cmd(kCmdDelete), cmd(kCmdCopy), cmd(kCmdRefresh), cmd(kCmdViewLargeIcons),
          cmd(kCmdViewSmallIcons), cmd(kCmdViewList), cmd(kCmdViewDetails)}},
        {kDropTargetMenu,
         kCmdCollectTitle,
         {cmd(kCmdCollectTitle), cmd(kCmdCollectAccount), cmd(kCmdCollectPassword),
          cmd(kCmdCollectRemark)}},
        {kFloatMenu,
         kCmdWriteCollected,
         {cmd(kCmdWriteCollected), cmd(kCmdViewCollected), cmd(kCmdToggleFloat),
          cmd(kCmdExit, QStringLiteral("退出"))}},
        {kCategoryMenu,
         kCmdNew,
         {cmd(kCmdNew, QStringLiteral("新建类别(&N)\tCtrl+N")),
          cmd(kCmdDelete, QStringLiteral("删除类别"))}},
    };
    auto it = std::find_if(popups.begin(), popups.end(),
                           [menu_id](const PopupLayout& p) { return p.menu_id == menu_id; });
    return it == popups.end() ? nullptr : &*it;
}

const std::vector<int>& toolbar() {
    static const std::vector<int> buttons = {kCmdNew,
                                             kCmdDelete,
                                             kCmdCopy,
                                             kCmdRefresh,
                                             0,
                                             kCmdViewLargeIcons,
                                             kCmdViewSmallIcons,
                                             kCmdViewList,
                                             kCmdViewDetails,
                                             0,
                                             kCmdClearClipboard,
                                             kCmdChangePassword,
                                             0,
                                             kCmdEncryptFile,
                                             kCmdExportCsv,
                                             0,
                                             kCmdHideToTray,
                                             0,
                                             kCmdToggleFloat,
                                             0,
                                             kCmdAbout};
    return buttons;
}

const std::vector<Accelerator>& accelerators() {
    static const std::vector<Accelerator> table = {
        {QKeySequence(Qt::CTRL | Qt::Key_C), kCmdCopy},
        {QKeySequence(Qt::CTRL | Qt::Key_N), kCmdNew},
        {QKeySequence(Qt::CTRL | Qt::Key_P), kCmdPrint},
        {QKeySequence(Qt::CTRL | Qt::Key_V), kCmdEditPaste},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), kCmdEditUndo},
        {QKeySequence(Qt::Key_Delete), kCmdDelete},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), kCmdEditCut},
        {QKeySequence(Qt::Key_F6), kCmdNextPane},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), kCmdPrevPane},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), kCmdEditCopy},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), kCmdEditPaste},
        {QKeySequence(Qt::CTRL | Qt::Key_X), kCmdEditCut},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), kCmdEditUndo},
        {QKeySequence(Qt::CTRL | Qt::Key_F), kCmdFind},
        {QKeySequence(Qt::CTRL | Qt::Key_L), kCmdLock},
    };
    return table;
}

}  // namespace korvane::command_table

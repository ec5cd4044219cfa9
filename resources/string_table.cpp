// SPDX-License-Identifier: GPL-3.0-or-later
// The string table's entries.
#include "resources/string_table.h"

#include <QHash>

#include "resources/resource_ids.h"

namespace korvane::res {
namespace {

const QHash<int, QString>& entries() {
    static const QHash<int, QString> table = {
        {kCmdDelete, QStringLiteral("删除该记录")},
        {kCmdNew, QStringLiteral("新建一个记录")},
        {kCmdChangePassword, QStringLiteral("修改密码")},
        {kCmdEncryptFile, QStringLiteral("加密解密文件")},
        {kCmdChangePasswordAlt, QStringLiteral("修改密码")},
        {kCmdCopy, QStringLiteral("拷贝密码到剪切板")},
        {kCmdExportCsv, QStringLiteral("导出文件为逗号分隔文本")},
        {kCmdHideToTray, QStringLiteral("缩为图标")},
        {kCmdRefresh, QStringLiteral("刷新视图")},
        {kCmdToggleFloat, QStringLiteral("显示、隐藏悬浮窗")},
        {kCmdClearClipboard, QStringLiteral("清空剪切板")},
        {kCmdAbout, QStringLiteral("显示程序信息，版本号和版权\n关于")},
        {kCmdExit, QStringLiteral("退出应用程序；提示保存文档\n退出")},
        {kCmdNextPane, QStringLiteral("切换到下一个窗格\n下一窗格")},
        {kCmdPrevPane, QStringLiteral("切换回前一个窗格\n前一窗格")},
        {kCmdViewToolbar, QStringLiteral("显示或隐藏工具栏\n显隐工具栏")},
        {kCmdViewStatusBar, QStringLiteral("显示或隐藏状态栏\n显隐状态栏")},
        {kCmdViewSmallIcons, QStringLiteral("通过使用小图标显示项目。\n小图标")},
        {kCmdViewLargeIcons, QStringLiteral("通过使用大图标显示项目。\n大图标")},
        {kCmdViewList, QStringLiteral("在列表中显示项目。\n列表")},
        {kCmdViewDetails, QStringLiteral("显示在窗口中每个项目的信息。\n详细资料")},
        {kCmdViewArrange, QStringLiteral("在网格中排列图标。")},
        {kCmdViewSort, QStringLiteral("按字母顺序对图标排序。")},
        {kCmdOptions, QStringLiteral("设置剪贴板清除和自动锁定\n选项")},
        {kCmdFind, QStringLiteral("在所有类别中查找标题、账号或备注含有所输入文字的记录\n查找")},
        {kCmdLock, QStringLiteral("锁定密码库，输入主密码后才能再次使用\n锁定")},
        {kStrAppTitle, QStringLiteral("Pellorin")},
        {kStrReady, QStringLiteral("就绪")},
        {kStrIndicatorCaps, QStringLiteral("大写")},
        {kStrIndicatorNum, QStringLiteral("数字")},
        {kStrIndicatorScroll, QStringLiteral("滚动")},
    };
    return table;
}

}  // namespace

QString string_entry(int id) { return entries().value(id); }

QString command_prompt(int id) { return string_entry(id).section(QLatin1Char('\n'), 0, 0); }

QString command_tooltip(int id) {
    const QString entry = string_entry(id);
    const qsizetype newline = entry.indexOf(QLatin1Char('\n'));
    return newline < 0 ? entry : entry.mid(newline + 1);
}

}  // namespace korvane::res

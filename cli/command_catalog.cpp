// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue of commands: every command's name, arguments, help texts, options and handler,
// once.
#include "cli/command_catalog.h"

#include "cli/commands/commands.h"
#include "cli/option_names.h"

namespace korvane::cli {
namespace {

std::vector<OptionSpec> record_field_options() {
    return {
        {option::kTitle, QStringLiteral("标题"), QStringLiteral("标题")},
        {option::kAccount, QStringLiteral("用户名"), QStringLiteral("用户名")},
        {option::kPassword, QStringLiteral("密码"),
         QStringLiteral("密码（会出现在命令行和进程列表中）")},
        {option::kAskPassword, QString(),
         QStringLiteral("像主密码一样询问记录的密码（在主密码之后）")},
        {option::kRemark, QStringLiteral("备注"), QStringLiteral("备注")},
        {option::kCategory, QStringLiteral("分类"),
         QStringLiteral("分类：已有的分类，或“我的密码”（根目录）")},
    };
}

OptionSpec force_option() {
    return {option::kForce, QString(), QStringLiteral("替换已经存在的目标文件")};
}

OptionSpec raw_option() {
    return {option::kRaw, QString(),
            QStringLiteral(
                "控制字符照原样输出，不写作 \\xHH 或 \\uHHHH（终端可能执行其中的控制序列）")};
}

OptionSpec master_key_option() {
    return {option::kUseMasterPassword, QString(),
            QStringLiteral("用主密码作为文件密码（与窗口中文件加密工具预填的密码相同）")};
}

std::vector<CommandInfo> make_command_infos() {
    std::vector<CommandInfo> infos;
    infos.push_back(
        {QStringLiteral("init"),
         QString(),
         QStringLiteral("创建新的密码库"),
         QStringLiteral("新密码输入两次，最多 59 个字节。文件夹中已有密码库时不做任何事。"),
         {},
         0,
         0,
         &commands::init});
    infos.push_back(
        {QStringLiteral("ls"),
         QStringLiteral("[分类]"),
         QStringLiteral("列出记录"),
         QStringLiteral("每行一条记录：编号、标题、用户名、备注，以制表符分隔。\n"
                        "不给分类或分类为“我的密码”时列出根目录，即不属于任何现有分类的记录，"
                        "与窗口中的记录列表相同。\n"
                        "字段中的反斜杠、制表符、回车和换行写作 \\\\、\\t、\\r、\\n；"
                        "其他控制字符（如 ESC）写作 \\xHH，C1 控制字符和改变文字方向的字符"
                        "（U+202A 到 U+202E、U+2066 到 U+2069）写作 \\uHHHH，"
                        "以免终端执行其中的控制序列。"),
         {raw_option()},
         0,
         1,
         &commands::list});
    infos.push_back(
        {QStringLiteral("find"),
         QStringLiteral("文字"),
         QStringLiteral("在所有分类中查找记录"),
         QStringLiteral("标题、用户名或备注中含有该文字的记录都列出，不查密码；英文字母不分大小写，"
                        "其他文字（包括中文）须完全相同，%、_ 和 \\ 都只代表它们自己。\n"
                        "每行一条记录：编号、标题、用户名、备注、分类，以制表符分隔，转义方式与 ls "
                        "相同。\n"
                        "没有匹配的记录时什么也不输出，退出码仍为 0，与空分类的 ls 相同；"
                        "查找失败时退出码为 4。"),
         {raw_option()},
         1,
         1,
         &commands::find});
    infos.push_back({QStringLiteral("categories"),
                     QString(),
                     QStringLiteral("列出分类"),
                     QStringLiteral("每行一个分类，按创建顺序；转义方式与 ls 相同。"),
                     {raw_option()},
                     0,
                     0,
                     &commands::categories});
    infos.push_back(
        {QStringLiteral("show"),
         QStringLiteral("编号"),
         QStringLiteral("显示一条记录"),
         QStringLiteral("密码默认隐藏。字段的转义方式与 ls 相同；加 --raw 时照原样输出。"),
         {{option::kShowPassword, QString(), QStringLiteral("显示密码")}, raw_option()},
         1,
         1,
         &commands::show});
    infos.push_back({QStringLiteral("add"), QString(), QStringLiteral("新增一条记录"),
                     QStringLiteral("未给出的字段为空，分类默认为“我的密码”（根目录）。"
                                    "在标准输出写出新记录的编号。"),
                     record_field_options(), 0, 0, &commands::add});
    infos.push_back({QStringLiteral("edit"), QStringLiteral("编号"), QStringLiteral("修改一条记录"),
                     QStringLiteral("只修改给出的字段，其余保持原样。"), record_field_options(), 1,
                     1, &commands::edit});
    infos.push_back({QStringLiteral("rm"),
                     QStringLiteral("编号"),
                     QStringLiteral("删除一条记录"),
                     QString(),
                     {},
                     1,
                     1,
                     &commands::remove});
    infos.push_back({QStringLiteral("mv"),
                     QStringLiteral("编号 分类"),
                     QStringLiteral("把记录移到另一个分类"),
                     QStringLiteral("分类须已存在；“我的密码”表示根目录。"),
                     {},
                     2,
                     2,
                     &commands::move});
    infos.push_back(
        {QStringLiteral("clip"),
         QStringLiteral("编号"),
         QStringLiteral("把记录的密码复制到剪贴板"),
         QStringLiteral("需要图形显示（X11 或 Wayland），没有时退出码为 4。复制之后密码库即关闭；"
                        "等待结束时（或按 Ctrl+C 时），剪贴板中若仍是这个密码就清空它。"),
         {{option::kClearAfter, QStringLiteral("秒数"),
           QStringLiteral("多少秒后清空剪贴板（1 到 86400，默认 10）")}},
         1,
         1,
         &commands::clip});
    infos.push_back(
        {QStringLiteral("export-csv"),
         QStringLiteral("文件"),
         QStringLiteral("把所有记录导出为逗号分隔的文本文件"),
         QStringLiteral(
             "与窗口的导出相同：标题、用户名、密码、备注，GBK 编码，CR LF 换行。\n"
             "文件为“-”时写到标准输出，标准输出是终端时拒绝（密码会以明文显示在屏幕上）。"
             "目标须为普通文件，命名管道、设备、套接字和文件夹一律拒绝，加 --force 也一样。"),
         {force_option()},
         1,
         1,
         &commands::export_csv});
    infos.push_back({QStringLiteral("backup"),
                     QStringLiteral("文件"),
                     QStringLiteral("导出无加密的备份数据库"),
                     QStringLiteral("备份文件不加密，任何人都能读出其中的密码。\n"
                                    "文件为“-”时写到标准输出，标准输出是终端时拒绝。"
                                    "目标须为普通文件，与 export-csv 相同。"),
                     {force_option()},
                     1,
                     1,
                     &commands::backup});
    infos.push_back({QStringLiteral("import"),
                     QStringLiteral("old|new|db 文件"),
                     QStringLiteral("导入记录"),
                     QStringLiteral("old：0.854 及以前版本的旧密码库文件；new：新格式的密码库文件；"
                                    "db：数据库版密码库（例如 backup 导出的文件）。\n"
                                    "old 和 new 在主密码之后询问该文件的用户密码。"),
                     {},
                     2,
                     2,
                     &commands::import});
    infos.push_back({QStringLiteral("sync"),
                     QStringLiteral("文件"),
                     QStringLiteral("同步另一个数据库版密码库"),
                     QStringLiteral("只加入本库中还没有的记录和分类。"),
                     {},
                     1,
                     1,
                     &commands::sync});
    infos.push_back({QStringLiteral("passwd"),
                     QString(),
                     QStringLiteral("修改主密码"),
                     QStringLiteral("先输入当前密码，再把新密码输入两次。"),
                     {},
                     0,
                     0,
                     &commands::passwd});
    infos.push_back({QStringLiteral("encrypt-file"),
                     QStringLiteral("文件"),
                     QStringLiteral("加密一个文件"),
                     QStringLiteral("结果写到“文件.enc”，原文件不变。密码输入两次，须为 16 到 59 个"
                                    "字节；不需要密码库，除非加 --use-master-password。"),
                     {force_option(), master_key_option()},
                     1,
                     1,
                     &commands::encrypt_file});
    infos.push_back({QStringLiteral("decrypt-file"),
                     QStringLiteral("文件"),
                     QStringLiteral("解密一个文件"),
                     QStringLiteral("“名字.enc”解密到“名字”，其他文件解密到“文件.decrypted”，"
                                    "原文件不变。密码错误无法识别，只会得到无用的内容。"),
                     {force_option(), master_key_option()},
                     1,
                     1,
                     &commands::decrypt_file});
    infos.push_back(
        {QStringLiteral("generate"),
         QString(),
         QStringLiteral("生成随机密码"),
         QStringLiteral("不需要密码库。"),
         {{option::kLength, QStringLiteral("位数"), QStringLiteral("密码位数（1 到 50，默认 16）")},
          {option::kClasses, QStringLiteral("luds"),
           QStringLiteral("字符种类：l 小写字母，u 大写字母，d 数字，s 符号（默认 luds）")}},
         0,
         0,
         &commands::generate});
    return infos;
}

}  // namespace

const std::vector<CommandInfo>& command_infos() {
    static const std::vector<CommandInfo> infos = make_command_infos();
    return infos;
}

const CommandInfo* find_command(const QString& name) {
    for (const CommandInfo& info : command_infos()) {
        if (info.name == name) return &info;
    }
    return nullptr;
}

}  // namespace korvane::cli

// SPDX-License-Identifier: GPL-3.0-or-later
// The parser of korvane-cli's command line and the help texts it builds from the command table.
#include "cli/arguments.h"

#include "cli/option_names.h"
#include "vault/program_version.h"

namespace korvane::cli {
namespace {

const OptionSpec* find_option(const CommandInfo& command, const QString& name) {
    for (const OptionSpec& option : command.options) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

QString usage_line(const CommandInfo& command) {
    QString line =
        QStringLiteral("用法：korvane-cli [--vault-dir 文件夹] [--password-stdin] ") + command.name;
    if (!command.arguments.isEmpty()) line += QLatin1Char(' ') + command.arguments;
    if (!command.options.empty()) line += QStringLiteral(" [选项]");
    return line;
}

}  // namespace

// Their help lines are written out in program_help(), aligned by hand for the Chinese texts.
const std::vector<OptionSpec>& global_options() {
    static const std::vector<OptionSpec> options = {
        {option::kVaultDir, QStringLiteral("文件夹"), QString()},
        {option::kPasswordStdin, QString(), QString()},
        {option::kHelp, QString(), QString()},
        {option::kVersion, QString(), QString()},
    };
    return options;
}

Result<ParsedArguments> parse_arguments(const QStringList& arguments) {
    ParsedArguments parsed;
    parsed.program = arguments.value(0);
    bool options_ended = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const bool is_option =
            !options_ended && word.startsWith(QLatin1Char('-')) && word != QLatin1String("-");
        if (!is_option) {
            if (parsed.command != nullptr) {
                parsed.arguments.append(word);
                continue;
            }
            parsed.command = find_command(word);
            if (parsed.command == nullptr)
                return make_error(QStringLiteral("未知命令“%1”。").arg(word));
            continue;
        }
        if (word == QLatin1String("--")) {
            options_ended = true;
            continue;
        }
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? word : word.left(equals);
        std::optional<QString> attached;
        if (equals >= 0) attached = word.mid(equals + 1);
        auto take_value = [&]() -> std::optional<QString> {
            if (attached) return attached;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };

        if (name == option::kHelp || name == QLatin1String("-h")) {
            parsed.help = true;
        } else if (name == option::kVersion) {
            parsed.version = true;
        } else if (name == option::kPasswordStdin) {
            parsed.password_stdin = true;
        } else if (name == option::kVaultDir) {
            parsed.vault_dir = take_value();
            if (!parsed.vault_dir || parsed.vault_dir->isEmpty()) {
                return make_error(QStringLiteral("选项 --vault-dir 需要一个文件夹。"));
            }
        } else if (const OptionSpec* option =
                       parsed.command ? find_option(*parsed.command, name) : nullptr) {
            if (option->value_name.isEmpty()) {
                if (attached) {
                    return make_error(QStringLiteral("选项 %1 不带值。").arg(name));
                }
                parsed.options.insert(name, QString());
            } else {
                std::optional<QString> value = take_value();
                if (!value) {
                    return make_error(
                        QStringLiteral("选项 %1 需要一个值（%2）。").arg(name, option->value_name));
                }
                parsed.options.insert(name, *value);
            }
        } else if (parsed.command != nullptr) {
            return make_error(
                QStringLiteral("命令 %1 没有选项“%2”。").arg(parsed.command->name, name));
        } else {
            return make_error(QStringLiteral("未知选项“%1”。").arg(name));
        }
    }
    if (parsed.help || parsed.version || parsed.command == nullptr) return parsed;
    const auto count = parsed.arguments.size();
    if (count < parsed.command->min_arguments) {
        return make_error(QStringLiteral("命令 %1 缺少参数：%2")
                              .arg(parsed.command->name, parsed.command->arguments));
    }
    if (count > parsed.command->max_arguments) {
        return make_error(
            QStringLiteral("命令 %1 有多余的参数“%2”。")
                .arg(parsed.command->name, parsed.arguments[parsed.command->max_arguments]));
    }
    return parsed;
}

QString program_help() {
    QString help = QStringLiteral(
        "用法：korvane-cli [--vault-dir 文件夹] [--password-stdin] 命令 [参数] [选项]\n"
        "\n"
        "在命令行中使用 Korvane 密码库。主密码在终端中输入，不回显；\n"
        "加 --password-stdin 时从标准输入读取，每个问题一行。\n"
        "\n"
        "全局选项：\n"
        "  --vault-dir 文件夹  密码库所在的文件夹（默认与 korvane 相同，见 man korvane）\n"
        "  --password-stdin    从标准输入逐行读取密码\n"
        "  -h, --help          显示帮助；写在命令之后时显示该命令的帮助\n"
        "  --version           显示版本号\n"
        "\n"
        "命令：\n");
    for (const CommandInfo& command : command_infos()) {
        help += QStringLiteral("  %1%2\n").arg(command.name, -14).arg(command.summary);
    }
    help += QStringLiteral(
        "\n"
        "退出码：0 成功；1 用法或输入有误；2 密码错误或不能用作密钥；\n"
        "3 密码库正被另一个实例使用；4 文件或格式错误，或密码库不存在；\n"
        "被 Ctrl+C 等信号中断时为 128 加信号编号（没有做任何修改）。\n");
    return help;
}

QString command_help(const CommandInfo& command) {
    QString help =
        usage_line(command) + QStringLiteral("\n\n") + command.summary + QStringLiteral("。\n");
    if (!command.details.isEmpty()) help += command.details + QLatin1Char('\n');
    if (!command.options.empty()) {
        help += QStringLiteral("\n选项：\n");
        for (const OptionSpec& option : command.options) {
            QString left = option.name;
            if (!option.value_name.isEmpty()) left += QLatin1Char(' ') + option.value_name;
            help += QStringLiteral("  %1  %2\n").arg(left, -24).arg(option.help);
        }
    }
    return help;
}

QString version_text() {
    return QStringLiteral("korvane-cli %1\n").arg(QLatin1String(kProgramVersion));
}

}  // namespace korvane::cli

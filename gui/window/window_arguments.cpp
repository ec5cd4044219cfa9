// SPDX-License-Identifier: GPL-3.0-or-later
// The parser of korvane's command line and its help and version texts.
#include "gui/window/window_arguments.h"

#include "vault/default_vault_dir.h"
#include "vault/program_version.h"

namespace korvane {
namespace {

const QString kVaultDir = QStringLiteral("--vault-dir");
const QString kHelp = QStringLiteral("--help");
const QString kVersion = QStringLiteral("--version");

}  // namespace

const std::vector<WindowOption>& window_options() {
    static const std::vector<WindowOption> options = {
        {kVaultDir, QStringLiteral("文件夹")},
        {kHelp, QString()},
        {kVersion, QString()},
    };
    return options;
}

WindowArguments parse_window_arguments(const QStringList& arguments) {
    WindowArguments parsed;
    const QString attached_prefix = kVaultDir + QLatin1Char('=');
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (word == kVaultDir) {
            // Taken as it stands, as korvane-cli takes it, even when it looks like an option.
            if (i + 1 < arguments.size()) parsed.vault_dir = arguments[++i];
        } else if (word.startsWith(attached_prefix)) {
            parsed.vault_dir = word.mid(attached_prefix.size());
        } else if (word == kHelp || word == QLatin1String("-h")) {
            // The first of the two wins, as GNU programs do.
            if (parsed.request == WindowArguments::Request::Run)
                parsed.request = WindowArguments::Request::Help;
        } else if (word == kVersion) {
            if (parsed.request == WindowArguments::Request::Run)
                parsed.request = WindowArguments::Request::Version;
        }
    }
    return parsed;
}

QString window_help() {
    return QStringLiteral(
        "用法：korvane [--vault-dir 文件夹]\n"
        "\n"
        "打开 Korvane 密码库的窗口。启动时输入主密码；第一次运行时先设置主密码。\n"
        "命令行中使用同一个密码库：korvane-cli --help。\n"
        "\n"
        "选项：\n"
        "  --vault-dir 文件夹  密码库所在的文件夹（默认文件夹见 man korvane）\n"
        "  -h, --help          显示帮助并退出\n"
        "  --version           显示版本号并退出\n"
        "\n"
        "退出码：0 正常结束（包括取消和密码错误）；1 密码库正被使用或文件出错。\n");
}

QString window_version() {
    return QStringLiteral("korvane %1\n").arg(QLatin1String(kProgramVersion));
}

QString vault_dir_from_arguments(const QStringList& arguments) {
    return parse_window_arguments(arguments).vault_dir.value_or(default_vault_dir());
}

}  // namespace korvane

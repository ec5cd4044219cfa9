// SPDX-License-Identifier: GPL-3.0-or-later
// korvane-cli's entry point: parses the command line, answers --help, and runs the command's
// handler from the command table.
#include "cli/cli.h"

#include <utility>

#include "cli/arguments.h"
#include "cli/command_context.h"
#include "vault/write_failure.h"

namespace korvane::cli {
namespace {

// Help or version text that could not be written is no success either.
int shown(Console& console, const QString& text) {
    console.write_out(console.encode(text));
    if (console.out_error() == 0) return kExitSuccess;
    console.write_err(console.encode(QStringLiteral("写入标准输出失败：%1。输出不完整。\n")
                                         .arg(system_error_text(console.out_error()))));
    return kExitFile;
}

}  // namespace

int run(const QStringList& arguments, Console& console) {
    Result<ParsedArguments> parsed = parse_arguments(arguments);
    if (!parsed) {
        console.write_err(console.encode(parsed.error() +
                                         QStringLiteral("\n运行 korvane-cli --help 查看用法。\n")));
        return kExitUsage;
    }
    if (parsed->version) return shown(console, version_text());
    if (parsed->command == nullptr) {
        if (parsed->help) return shown(console, program_help());
        console.write_err(console.encode(QStringLiteral("缺少命令。\n\n") + program_help()));
        return kExitUsage;
    }
    if (parsed->help) return shown(console, command_help(*parsed->command));
    CommandContext context(console, std::move(parsed).value());
    return context.ended(context.args().command->handler(context));
}

bool wants_clipboard(const QStringList& arguments) {
    Result<ParsedArguments> parsed = parse_arguments(arguments);
    return parsed && parsed->command != nullptr && !parsed->help && !parsed->version &&
           parsed->command->name == QLatin1String("clip");
}

}  // namespace korvane::cli

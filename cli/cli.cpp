// SPDX-License-Identifier: GPL-3.0-or-later
// korvane-cli's entry point: parses the command line, answers --help, and runs the command's
// handler from the command table.
#include "cli/cli.h"

#include <utility>

#include "cli/arguments.h"
#include "cli/command_context.h"

namespace korvane::cli {

int run(const QStringList& arguments, Console& console) {
    Result<ParsedArguments> parsed = parse_arguments(arguments);
    if (!parsed) {
        console.write_err(console.encode(parsed.error() +
                                         QStringLiteral("\n运行 korvane-cli --help 查看用法。\n")));
        return kExitUsage;
    }
    if (parsed->version) {
        console.write_out(console.encode(version_text()));
        return kExitSuccess;
    }
    if (parsed->command == nullptr) {
        if (parsed->help) {
            console.write_out(console.encode(program_help()));
            return kExitSuccess;
        }
        console.write_err(console.encode(QStringLiteral("缺少命令。\n\n") + program_help()));
        return kExitUsage;
    }
    if (parsed->help) {
        console.write_out(console.encode(command_help(*parsed->command)));
        return kExitSuccess;
    }
    CommandContext context(console, std::move(parsed).value());
    return context.args().command->handler(context);
}

bool wants_clipboard(const QStringList& arguments) {
    Result<ParsedArguments> parsed = parse_arguments(arguments);
    return parsed && parsed->command != nullptr && !parsed->help && !parsed->version &&
           parsed->command->name == QLatin1String("clip");
}

}  // namespace korvane::cli

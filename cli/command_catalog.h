// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue of korvane-cli's commands, in one table: name, arguments, help texts, options
// and handler.
#pragma once

#include <QString>
#include <vector>

namespace korvane::cli {

class CommandContext;

struct OptionSpec {
    QString name;        // with its leading "--"
    QString value_name;  // empty for a flag
    QString help;
};

// Returns the process exit code.
using CommandHandler = int (*)(CommandContext&);

struct CommandInfo {
    QString name;
    QString arguments;  // the positional arguments as the usage line shows them
    QString summary;
    QString details;  // what the command does, beyond the summary
    std::vector<OptionSpec> options;
    int min_arguments = 0;
    int max_arguments = 0;
    CommandHandler handler = nullptr;
};

// In the order --help lists them.
const std::vector<CommandInfo>& command_infos();
const CommandInfo* find_command(const QString& name);

}  // namespace korvane::cli

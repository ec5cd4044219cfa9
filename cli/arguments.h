// The command line: global options, the command table with its help texts, and parsing.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "vault/result.h"

namespace korvane::cli {

struct OptionSpec {
    QString name;        // with its leading "--"
    QString value_name;  // empty for a flag
    QString help;
};

struct CommandInfo {
    QString name;
    QString arguments;  // the positional arguments as the usage line shows them
    QString summary;
    QString details;  // what the command does, beyond the summary
    std::vector<OptionSpec> options;
    int min_arguments = 0;
    int max_arguments = 0;
};

const std::vector<CommandInfo>& command_infos();
const CommandInfo* find_command(const QString& name);

struct ParsedArguments {
    QString program;
    std::optional<QString> vault_dir;
    bool password_stdin = false;
    bool help = false;
    const CommandInfo* command = nullptr;  // null when none was given
    QStringList arguments;                 // the positional ones
    QHash<QString, QString> options;       // name with "--" → value ("" for a flag)

    bool has(const QString& option) const { return options.contains(option); }
    QString value(const QString& option) const { return options.value(option); }
};

// Global options may stand before the command or among its own; "--" ends the options. The
// argument count is checked unless help was asked for.
Result<ParsedArguments> parse_arguments(const QStringList& arguments);

QString program_help();
QString command_help(const CommandInfo& command);

}  // namespace korvane::cli

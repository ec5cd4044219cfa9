// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: global options, parsing against the command table, and the help texts.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "cli/command_catalog.h"
#include "vault/result.h"

namespace korvane::cli {

struct ParsedArguments {
    QString program;
    std::optional<QString> vault_dir;
    bool password_stdin = false;
    bool help = false;
    bool version = false;
    const CommandInfo* command = nullptr;  // null when none was given
    QStringList arguments;                 // the positional ones
    QHash<QString, QString> options;       // name with "--" → value ("" for a flag)

    bool has(const QString& option) const { return options.contains(option); }
    QString value(const QString& option) const { return options.value(option); }
};

// The options every command takes, in the order --help lists them.
const std::vector<OptionSpec>& global_options();

// Global options may stand before the command or among its own; "--" ends the options. The
// argument count is checked unless help was asked for.
Result<ParsedArguments> parse_arguments(const QStringList& arguments);

QString program_help();
QString command_help(const CommandInfo& command);
QString version_text();

}  // namespace korvane::cli

// SPDX-License-Identifier: GPL-3.0-or-later
// categories: the vault's categories, one line each, in the order they were made.
#include <QString>
#include <string>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int categories(CommandContext& context) {
    return context.with_vault_read_only([&](VaultSession& session) {
        auto names = statements::list_categories(session.db());
        if (!names) return context.fail(kExitFile, names.error());
        QString out;
        for (const std::string& name : *names) out += escaped(name, context.escaping()) + u'\n';
        context.console().write_out(context.console().encode(out));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands

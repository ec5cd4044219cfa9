// SPDX-License-Identifier: GPL-3.0-or-later
// mv: moves one record to an existing category or the root.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int move(CommandContext& context) {
    const auto oid = context.record_id(context.args().arguments[0]);
    if (!oid) return kExitUsage;
    const QString label = context.args().arguments[1];
    const auto category = context.category_bytes(label);
    if (!category) return kExitUsage;
    return context.with_vault([&](VaultSession& session) {
        if (!context.existing_record(session, *oid) ||
            !context.category_usable(session, *category, label)) {
            return int(kExitUsage);
        }
        if (Status moved = statements::move_record(session.db(), *oid, *category); !moved) {
            return context.fail(kExitFile, moved.error());
        }
        context.say(QStringLiteral("已把记录 %1 移到“%2”。").arg(*oid).arg(label));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands

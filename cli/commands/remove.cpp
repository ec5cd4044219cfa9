// SPDX-License-Identifier: GPL-3.0-or-later
// rm: deletes one record.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "vault/vault_statements.h"

namespace korvane::cli::commands {

int remove(CommandContext& context) {
    const auto oid = context.record_id(context.args().arguments[0]);
    if (!oid) return kExitUsage;
    return context.with_vault([&](VaultSession& session) {
        if (!context.existing_record(session, *oid)) return int(kExitUsage);
        if (Status removed = statements::delete_record(session.db(), *oid); !removed) {
            return context.fail(kExitFile, removed.error());
        }
        context.say(QStringLiteral("已删除记录 %1。").arg(*oid));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands

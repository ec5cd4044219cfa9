// SPDX-License-Identifier: GPL-3.0-or-later
// sync: adds the records and categories of another database vault that this one lacks.
#include <QString>

#include "cli/command_context.h"
#include "cli/commands/commands.h"
#include "tools/database_sync.h"

namespace korvane::cli::commands {

int sync(CommandContext& context) {
    const QString path = context.args().arguments[0];
    return context.with_vault([&](VaultSession& doc) {
        auto counts = tools::sync_database(doc.db(), path);
        if (!counts) return context.fail(kExitFile, counts.error());
        context.say(QStringLiteral("数据库同步成功，共同步了%1条数据").arg(counts->records));
        return int(kExitSuccess);
    });
}

}  // namespace korvane::cli::commands
